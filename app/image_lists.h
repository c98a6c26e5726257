#pragma once
// The picture lists of the main window, drawn from the SVG pictures compiled into the program.
#include <QIcon>
#include <QVector>

namespace images {
QVector<QIcon> ImageList1();  // list rows: 0 未, 1 offline, 2 online, 3 being probed
QVector<QIcon> ImageList2();  // tray frames of the "98" family: the face, then a blank picture
QVector<QIcon> ImageList3();  // tray frames of every other family: the face
QVector<QIcon> ImageList4();  // menu items: select scan, all scan, add, update, delete
QIcon StopGlyph();
QIcon ProgramIcon();
}  // namespace images
