// A label of the status line that keeps what matters in sight when the line is narrow: its text is made of
// parts, and the parts that may be shortened lose their middle (to an ellipsis), first to last, while the
// others always show whole (the seeds that repeat a run, say). text() is the whole text, ShownText() what
// the label's width shows; the label asks for the room of its whole text and can shrink to its kept parts.
#pragma once

#include <QLabel>
#include <QString>
#include <vector>

namespace brevant::frame {

class StatusLabel : public QLabel {
    Q_OBJECT

public:
    struct Part {
        QString text;
        bool mayShorten = false;
    };

    explicit StatusLabel(const QString& name, QWidget* parent = nullptr);

    void SetParts(std::vector<Part> parts);  // sets text() to the parts joined
    // The text as shown at this width (or at width, when given).
    QString ShownText() const { return ShownText(contentsRect().width()); }
    QString ShownText(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Part> parts_;
};

}  // namespace brevant::frame
