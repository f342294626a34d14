#include "plot/RangeWords.h"

#include "plot/PlotModel.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace brevant::plot {

namespace {

// "Obtained F" -> "obtained F", "Median Difference" -> "obtained median difference": the plot's name for the
// obtained value with its capitalised words in lower case, symbols (F, t, b(xyz)) kept.
QString ObtainedPhrase(const HistogramRequest& request) {
    QStringList words = QString::fromStdString(ObtainedName(request)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& word : words)
        if (word.size() > 1 && word.front().isUpper() && word.mid(1) == word.mid(1).toLower()) word = word.toLower();
    return words.join(QLatin1Char(' '));
}

QString Resamples(std::int64_t n) { return QLocale().toString(qlonglong(n)); }

}  // namespace

QString ShortNumber(double value) {
    if (!std::isfinite(value)) return QString::number(value);
    if (value == 0) return QStringLiteral("0");
    const int decimals = std::clamp(3 - int(std::floor(std::log10(std::fabs(value)))), 0, 9);
    const QLocale locale;
    QString text = locale.toString(value, 'f', decimals);
    if (decimals > 0) {
        while (text.endsWith(locale.zeroDigit())) text.chop(1);
        if (text.endsWith(locale.decimalPoint())) text.chop(locale.decimalPoint().size());
    }
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    return text;
}

QString HistogramRangeWords(const HistogramGeometry& geometry, const HistogramRequest& request,
                            CountedOffHistogram off, std::int64_t resamples) {
    const bool obtainedOff = !geometry.markerDrawn && std::isfinite(request.observed);
    const std::int64_t below = off.below, above = off.above;
    if (!obtainedOff && below + above == 0) return {};

    const QString range = QStringLiteral("%1 to %2").arg(ShortNumber(geometry.lower), ShortNumber(geometry.upper));
    QStringList where;
    if (below > 0)
        where << QStringLiteral("%1below %2")
                     .arg(above > 0 ? Resamples(below) + QLatin1Char(' ') : QString(), ShortNumber(geometry.lower));
    if (above > 0)
        where << QStringLiteral("%1above %2")
                     .arg(below > 0 ? Resamples(above) + QLatin1Char(' ') : QString(), ShortNumber(geometry.upper));
    const std::int64_t outside = below + above;
    const QString counted = QStringLiteral("%1 of the %2 resamples counted for p %3")
                                .arg(Resamples(outside), Resamples(resamples),
                                     outside == 1 ? QStringLiteral("lies") : QStringLiteral("lie"));
    QString words;
    if (obtainedOff) {
        const double obtained = request.Obtained();
        words = QStringLiteral("The %1, %2, lies %3 the histogram's range, %4")
                    .arg(ObtainedPhrase(request), ShortNumber(obtained),
                         obtained > geometry.upper ? QStringLiteral("above") : QStringLiteral("below"), range);
        if (outside > 0) words += QStringLiteral("; %1 off it, %2").arg(counted, where.join(QStringLiteral(" and ")));
    } else {
        words = QStringLiteral("%1 off the histogram's range, %2: %3")
                    .arg(counted, range, where.join(QStringLiteral(" and ")));
    }
    return words + QLatin1Char('.');
}

}  // namespace brevant::plot
