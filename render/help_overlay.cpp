#include "render/help_overlay.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace navorel {

void paintHelpOverlay(QPainter& painter, int width, int height, const std::string& title,
                      const std::vector<std::string>& lines) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont body = painter.font();
    QFont heading = body;
    heading.setBold(true);
    const int margin = 18;
    int pixels = 15;
    // The largest text, down to 9 pixels, with which the panel fits in the client area.
    int panelWidth = 0, lineHeight = 0, titleHeight = 0;
    for (;; --pixels) {
        body.setPixelSize(pixels);
        heading.setPixelSize(pixels + 4);
        const QFontMetrics m(body), hm(heading);
        lineHeight = m.height() + 3;
        titleHeight = hm.height() + 12;
        panelWidth = hm.horizontalAdvance(QString::fromStdString(title));
        for (const std::string& line : lines)
            panelWidth = std::max(panelWidth, m.horizontalAdvance(QString::fromStdString(line)));
        panelWidth += 2 * margin;
        const int panelHeight =
            titleHeight + lineHeight * static_cast<int>(lines.size()) + 2 * margin;
        if (pixels <= 9 || (panelWidth <= width - 20 && panelHeight <= height - 20)) break;
    }
    const int panelHeight = titleHeight + lineHeight * static_cast<int>(lines.size()) + 2 * margin;
    const QRectF panel((width - panelWidth) / 2.0, (height - panelHeight) / 2.0, panelWidth,
                       panelHeight);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(panel, 8, 8);
    painter.setPen(Qt::black);
    painter.setFont(heading);
    painter.drawText(QRectF(panel.x(), panel.y() + margin, panel.width(), titleHeight),
                     Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(title));
    painter.setFont(body);
    double y = panel.y() + margin + titleHeight;
    for (const std::string& line : lines) {
        painter.drawText(QRectF(panel.x() + margin, y, panel.width() - 2 * margin, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(line));
        y += lineHeight;
    }
    painter.restore();
}

} // namespace navorel
