#include "app/history_picture.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "app/target_facts.h"

QImage drawHistory(const TargetFacts& facts) {
    constexpr int kSlot = 2;  // pixels a result
    constexpr int kHeight = 36;
    const int width = static_cast<int>(TargetFacts::kKept) * kSlot;
    QImage image(width + 2, kHeight + 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter p(&image);
    p.setPen(QColor(0xa0, 0xa0, 0xa0));
    p.drawRect(0, 0, width + 1, kHeight + 1);
    // Right-aligned: the newest result stands at the right edge, the slots before it are empty.
    const size_t n = facts.kept();
    const int first = width - static_cast<int>(n) * kSlot + 1;
    int slowest = 1;
    for (size_t i = 0; i < n; ++i) slowest = std::max<int>(slowest, facts.keptAt(i).rttMs);
    QPainterPath times;
    bool drawing = false;
    for (size_t i = 0; i < n; ++i) {
        const TargetFacts::Result& r = facts.keptAt(i);
        const int x = first + static_cast<int>(i) * kSlot;
        p.fillRect(x, kHeight - 5, kSlot, 6,
                   r.online() ? QColor(0x2e, 0xa0, 0x43) : QColor(0xd0, 0x3a, 0x2f));
        if (!r.online()) {
            drawing = false;
            continue;
        }
        const double y = 1 + (kHeight - 8) * (1.0 - static_cast<double>(r.rttMs) / slowest);
        if (drawing) {
            times.lineTo(x + kSlot / 2.0, y);
        } else {
            times.moveTo(x + kSlot / 2.0, y);
            drawing = true;
        }
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 1.2));
    p.drawPath(times);
    return image;
}
