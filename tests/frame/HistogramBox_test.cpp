// The picture box `Histogram`: painting at its size, clearing, and saving through the dialog seams.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSvgRenderer>
#include <QtTest>

#include "support/QtTests.h"
#include <vector>

#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using brevant::frame::FileDialogKind;
using brevant::frame::HistogramBox;

namespace {

bool IsRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; }

bool AnyRedNear(const QImage& image, QPointF at) {
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            const QPoint p = at.toPoint() + QPoint(dx, dy);
            if (image.rect().contains(p) && IsRed(image.pixel(p))) return true;
        }
    return false;
}

bool AllWhiteInside(const QImage& image, QRect inside) {
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) return false;
    return true;
}

HistogramGeometry SampleGeometry() {
    std::vector<float> values;
    for (int i = 0; i < 200; ++i) values.push_back(float(i % 21 - 10) / 4.0f);
    return ComputeHistogram(values, "t Value", 1.0f, std::pair{-5.0f, 5.0f});
}

// Where a logical point lands in the box.
QPointF Map(const HistogramBox& box, float x, float y) {
    const QRect r = box.contentsRect();
    return QPointF(r.left() + x * r.width() / 6000.0, r.top() + y * r.height() / 5000.0);
}

QString WorkPath(const QString& name) { return QDir(QStringLiteral(BREVANT_TEST_WORK_DIR)).filePath(name); }

}  // namespace

class HistogramBoxTest : public QObject {
    Q_OBJECT

private:
    QStringList messages_;
    QString answer_;
    QString filterAsked_;

private slots:
    void init() {
        messages_.clear();
        filterAsked_.clear();
        frame::SetMessageHook([this](const QString& text) { messages_ << text; });
        frame::SetFileDialogHook([this](FileDialogKind kind, const QString& filter) {
            if (kind == FileDialogKind::Save) filterAsked_ = filter;
            return answer_;
        });
    }
    void cleanup() {
        frame::SetMessageHook({});
        frame::SetFileDialogHook({});
    }

    void isASunkenPictureBox() {
        HistogramBox box;
        QCOMPARE(box.objectName(), QStringLiteral("Histogram"));
        QCOMPARE(box.frameShadow(), QFrame::Sunken);
        QVERIFY(box.sizeHint().width() >= 480 && box.sizeHint().height() >= 400);
        QVERIFY(box.minimumSizeHint().isValid());
    }

    void paintsScaledToItsSizeAndClears() {
        HistogramBox box;
        box.resize(480, 400);
        QImage empty = box.grab().toImage();
        QVERIFY(AllWhiteInside(empty, box.contentsRect()));
        auto* save = box.findChild<QAction*>(QStringLiteral("mnuSaveHistogram"));
        QVERIFY(save);
        QCOMPARE(save->text(), QStringLiteral("Save Histogram As..."));
        QVERIFY(!save->isEnabled());

        box.ShowHistogram(SampleGeometry());
        QVERIFY(save->isEnabled());
        QImage shown = box.grab().toImage();
        QVERIFY(AnyRedNear(shown, Map(box, 570, 2000)));   // vertical axis
        QVERIFY(AnyRedNear(shown, Map(box, 3000, 4030)));  // horizontal axis

        box.resize(800, 600);  // laid out anew at the new size
        shown = box.grab().toImage();
        QCOMPARE(shown.size(), QSize(800, 600));
        QVERIFY(AnyRedNear(shown, Map(box, 570, 2000)));
        QVERIFY(AnyRedNear(shown, Map(box, 5300, 4030)));
        QVERIFY(!AnyRedNear(shown, Map(box, 5700, 4030)));  // the axis ends at 5400

        box.Clear();
        QVERIFY(!box.Picture());
        QVERIFY(!save->isEnabled());
        QVERIFY(AllWhiteInside(box.grab().toImage(), box.contentsRect()));
    }

    // The texts grow with the box: the caption's ink at twice the size is about twice as tall.
    void textsScaleWithTheBox() {
        HistogramBox box;
        const auto captionHeight = [&box](QSize size) {
            box.resize(size);
            const QImage shown = box.grab().toImage();
            const QPointF top = Map(box, 0, 4500), bottom = Map(box, 0, 4700);
            int first = -1, last = -1;
            for (int y = int(top.y()); y < int(bottom.y()); ++y)
                for (int x = shown.width() / 3; x < shown.width() * 2 / 3; ++x)
                    if (qGray(shown.pixel(x, y)) < 128) {
                        if (first < 0) first = y;
                        last = y;
                        break;
                    }
            return first < 0 ? 0 : last - first + 1;
        };
        box.ShowHistogram(SampleGeometry());
        const int small = captionHeight(QSize(480, 400));
        const int large = captionHeight(QSize(960, 800));
        QVERIFY(small > 4);
        QVERIFY2(large >= small * 17 / 10 && large <= small * 23 / 10,
                 qPrintable(QStringLiteral("%1 then %2 pixels").arg(small).arg(large)));
    }

    void savesByTheExtension() {
        HistogramBox box;
        box.resize(480, 400);
        box.ShowHistogram(SampleGeometry());

        const QString png = WorkPath(QStringLiteral("box.png"));
        QFile::remove(png);
        answer_ = png;
        box.findChild<QAction*>(QStringLiteral("mnuSaveHistogram"))->trigger();
        QCOMPARE(filterAsked_, QStringLiteral("PNG image(*.png)|*.png|SVG image(*.svg)|*.svg"));
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
        const QImage saved(png);
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.size(), box.contentsRect().size().expandedTo(QSize(960, 800)));  // twice the default at least

        const QString svg = WorkPath(QStringLiteral("box.SVG"));
        QFile::remove(svg);
        answer_ = svg;
        box.SaveHistogramAs();
        QVERIFY(messages_.isEmpty());
        QVERIFY(QSvgRenderer(svg).isValid());
    }

    void refusesWhatItCannotSave() {
        HistogramBox box;
        box.resize(480, 400);
        answer_ = WorkPath(QStringLiteral("nothing.png"));
        QFile::remove(answer_);
        box.SaveHistogramAs();  // nothing shown yet
        QCOMPARE(messages_.size(), 1);
        QVERIFY(!QFile::exists(answer_));

        box.ShowHistogram(SampleGeometry());
        messages_.clear();
        answer_ = WorkPath(QStringLiteral("histogram.txt"));
        box.SaveHistogramAs();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral(".png or .svg")));
        QVERIFY(!QFile::exists(answer_));

        messages_.clear();
        answer_ = WorkPath(QStringLiteral("no-such-folder/histogram.png"));
        box.SaveHistogramAs();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith(QStringLiteral("The histogram could not be saved as")));

        messages_.clear();
        answer_.clear();  // the dialog was cancelled
        box.SaveHistogramAs();
        QVERIFY(messages_.isEmpty());
    }
};

BREVANT_QTEST(HistogramBoxTest)
}  // namespace BREVANT_TEST_UNIT
#include "HistogramBox_test.moc"
