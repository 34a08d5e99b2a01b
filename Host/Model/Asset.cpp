#include "Asset.h"

#include <QStringList>

namespace XTHost
{

const std::array<const char*, 18> sAssetKindNames = {
    "paragraphStyles", "characterStyles", "colours",      "hyphenations", "lists",         "dashesStripes",
    "bulletStyles",    "numberings",      "tableStyles",  "gridStyles",   "calloutStyles", "footnoteStyles",
    "conditions",      "printStyles",     "outputStyles", "trapPresets",  "layers",        "scriptStyles"};

int assetKindFromName(const QString& name)
{
    for (size_t i = 0; i < sAssetKindNames.size(); ++i)
        if (name == QLatin1String(sAssetKindNames[i]))
            return int(i) + 1;
    return 0;
}

void ColorValue::toRgb16(uint16_t& red, uint16_t& green, uint16_t& blue) const
{
    if (mModel == Rgb)
    {
        red = uint16_t(mValues[0] * 257);
        green = uint16_t(mValues[1] * 257);
        blue = uint16_t(mValues[2] * 257);
        return;
    }
    // Naive process conversion, as a swatch on screen: (1 - c)(1 - k).
    const int64_t white = 100 - mValues[3];
    auto component = [white](int ink) { return uint16_t(65535 * (100 - ink) * white / 10000); };
    red = component(mValues[0]);
    green = component(mValues[1]);
    blue = component(mValues[2]);
}

QString ColorValue::description() const
{
    QString text;
    if (mModel == Rgb)
        text = QStringLiteral("RGB %1, %2, %3").arg(mValues[0]).arg(mValues[1]).arg(mValues[2]);
    else
        text = QStringLiteral("CMYK %1%, %2%, %3%, %4%")
                   .arg(mValues[0])
                   .arg(mValues[1])
                   .arg(mValues[2])
                   .arg(mValues[3]);
    if (mSpot)
        text += QStringLiteral("\rSpot colour");
    return text;
}

QString Asset::description() const
{
    return mKind == XT::kColorAssetKind ? mColor.description() : mDescription;
}

} // namespace XTHost
