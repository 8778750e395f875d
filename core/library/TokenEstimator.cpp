#include "core/library/TokenEstimator.h"

#include "core/foundation/Text.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace vellicord::TokenEstimator {

int64_t estimateForCharacters(int64_t characters, double charsPerToken)
{
    if (characters <= 0)
        return 0;
    if (!std::isfinite(charsPerToken) || charsPerToken <= 0)
        charsPerToken = 4.0;
    const double tokens = std::ceil(double(characters) / charsPerToken);
    if (tokens >= double(std::numeric_limits<int64_t>::max()))
        return std::numeric_limits<int64_t>::max();
    return int64_t(tokens);
}

int64_t estimate(QStringView text, const ModelProfile& profile)
{
    if (text.isEmpty())
        return 0;
    return estimateForCharacters(Text::graphemeCount(text), profile.charsPerToken);
}

QString format(int64_t count)
{
    const QLocale locale;
    QString text = locale.toString(qlonglong(count));
    if (text.isEmpty())
        text = QString::number(count);
    return text;
}

} // namespace vellicord::TokenEstimator
