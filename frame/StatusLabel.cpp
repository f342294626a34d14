#include "frame/StatusLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace brevant::frame {

namespace {
const QString kEllipsis = QString(QChar(0x2026));
}

StatusLabel::StatusLabel(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setContentsMargins(4, 0, 14, 0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void StatusLabel::SetParts(std::vector<Part> parts) {
    parts_ = std::move(parts);
    QString whole;
    for (const Part& part : parts_) whole += part.text;
    setText(whole);  // also asks for a new layout and paint
    updateGeometry();
}

QString StatusLabel::ShownText(int width) const {
    const QFontMetrics metrics = fontMetrics();
    if (parts_.empty() || metrics.horizontalAdvance(text()) <= width) return text();
    // What the kept parts need; the parts that may be shortened share the rest, first come first served
    // from the last: each later part keeps its room while an earlier one can give.
    int kept = 0;
    for (const Part& part : parts_)
        kept += part.mayShorten ? metrics.horizontalAdvance(kEllipsis) : metrics.horizontalAdvance(part.text);
    int spare = std::max(0, width - kept);
    std::vector<QString> shown(parts_.size());
    for (std::size_t i = parts_.size(); i-- > 0;) {
        const Part& part = parts_[i];
        if (!part.mayShorten) {
            shown[i] = part.text;
            continue;
        }
        const int ellipsis = metrics.horizontalAdvance(kEllipsis);
        const int full = metrics.horizontalAdvance(part.text);
        if (full - ellipsis <= spare) {
            shown[i] = part.text;
            spare -= full - ellipsis;
        } else {
            shown[i] = metrics.elidedText(part.text, Qt::ElideMiddle, ellipsis + spare);
            if (shown[i].isEmpty()) shown[i] = kEllipsis;
            spare = 0;
        }
    }
    QString result;
    for (const QString& s : shown) result += s;
    return result;
}

QSize StatusLabel::sizeHint() const { return QLabel::sizeHint(); }

QSize StatusLabel::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    int width = 0;
    for (const Part& part : parts_)
        width += part.mayShorten ? metrics.horizontalAdvance(kEllipsis) : metrics.horizontalAdvance(part.text);
    if (parts_.empty()) width = metrics.horizontalAdvance(text());
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), QLabel::minimumSizeHint().height()};
}

void StatusLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect room = contentsRect();
    style()->drawItemText(&painter, room, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                          ShownText(room.width()), foregroundRole());
}

}  // namespace brevant::frame
