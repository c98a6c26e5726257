#include "app/history_picture.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "app/status_texts.h"
#include "app/target_facts.h"

QImage drawHistory(const TargetFacts& facts) {
    constexpr int kSlot = 2;  // pixels a result
    constexpr int kHeight = 36;
    constexpr int kScale = 34;  // the scale's labels, left of the strip
    const int width = static_cast<int>(TargetFacts::kKept) * kSlot;
    QImage image(kScale + width + 2, kHeight + 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter p(&image);
    p.setPen(QColor(0xa0, 0xa0, 0xa0));
    p.translate(kScale, 0);
    p.drawRect(0, 0, width + 1, kHeight + 1);
    // The results there are share the whole width, oldest on the left: a hundred take 2 px each,
    // the first few a broad band each.
    const size_t n = facts.kept();
    const double slot = n ? static_cast<double>(width) / static_cast<double>(n) : width;
    // Microseconds: a loopback answer of 40 us is drawn as finely as one of 40 ms.
    int slowest = 1;
    for (size_t i = 0; i < n; ++i)
        if (facts.keptAt(i).online())
            slowest = std::max<int>(slowest, static_cast<int>(facts.keptAt(i).rttUs));
    QPainterPath times;
    bool drawing = false;
    for (size_t i = 0; i < n; ++i) {
        const TargetFacts::Result& r = facts.keptAt(i);
        const double x = 1 + static_cast<double>(i) * slot;
        p.fillRect(QRectF(x, kHeight - 5, slot, 6),
                   r.online() ? QColor(0x2e, 0xa0, 0x43) : QColor(0xd0, 0x3a, 0x2f));
        if (!r.online()) {
            drawing = false;
            continue;
        }
        const double y = 1 + (kHeight - 8) * (1.0 - static_cast<double>(r.rttUs) / slowest);
        if (drawing) {
            times.lineTo(x + slot / 2.0, y);
        } else {
            times.moveTo(x + slot / 2.0, y);
            drawing = true;
        }
    }
    if (facts.answers() > 0) {
        // The scale: the top of the strip is the slowest answer shown.
        p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 1, Qt::DotLine));
        p.drawLine(1, 1, width, 1);
        QFont small = p.font();
        small.setPixelSize(9);
        p.setFont(small);
        p.setPen(QColor(0x50, 0x50, 0x50));
        p.drawText(QRect(-kScale, 0, kScale - 3, 12), Qt::AlignRight | Qt::AlignTop,
                   texts::roundTrip(slowest / 1000.0));
        p.drawText(QRect(-kScale, kHeight - 19, kScale - 3, 12), Qt::AlignRight | Qt::AlignBottom,
                   QStringLiteral("0 ms"));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 1.2));
    p.drawPath(times);
    return image;
}
