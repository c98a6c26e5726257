#pragma once
// The picture lists of the main window, drawn from the SVG pictures compiled into the program.
#include <QIcon>
#include <QVector>

namespace images {
QVector<QIcon> rowStateIcons();  // ImageList1, list rows: 0 未, 1 offline, 2 online, 3 being probed
QVector<QIcon>
trayFramesFor98();  // ImageList2, tray frames of the "98" family: the face, then a blank picture
QVector<QIcon> trayFrames();  // ImageList3, tray frames of every other family: the face
QVector<QIcon>
menuPictures();  // ImageList4, menu items: select scan, all scan, add, update, delete
QIcon stopGlyph();
QIcon playGlyph();  // the settings' button that plays the chosen sound
QIcon programIcon();
QIcon troubleMark();  // drawn over the tray's pictures while a target is offline
}  // namespace images
