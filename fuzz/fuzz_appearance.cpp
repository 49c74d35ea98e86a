// Feeds arbitrary bytes as an indicator style file and as a colour scheme file: reading never crashes,
// every field of a style is one the indicator can take (a gap within the window's range), a scheme
// becomes a style sheet, and a style applies to an indicator.
#include "ColorScheme.h"
#include "IndStyle.h"
#include "SchemeStyle.h"

#include <QApplication>

#include <cstdlib>

namespace {

void require(bool cond) {
    if (!cond)
        std::abort();
}

QApplication* App = nullptr;
TLcdIndicator* Indicator = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    App = new QApplication(*argc, *argv);
    Indicator = new TLcdIndicator;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TIniFile file = TIniFile::FromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    TIndStyle style;
    LoadIndStyle(file, QStringLiteral("IndStyle"), style);
    require(style.IndicatorGap >= 0 && style.IndicatorGap <= MaxIndicatorGap);
    require(!ColorSchemeName(style.ColorScheme).isEmpty());
    require(!IndicatorKindName(style.IndicatorKind).isEmpty());
    require(!IndicatorStyleName(style.IndicatorStyle).isEmpty());
    ApplyIndStyle(*Indicator, style);
    require(GetIndStyle(*Indicator).IndicatorGap == style.IndicatorGap);

    TKvStyleManager manager;
    const TSchemeLoad load = LoadStyleFile(file, manager);
    require((load.Error == TSchemeError::InvalidValue) == !load.Key.isEmpty());
    (void)SchemeErrorText(load);
    const TSchemeStyle s = BuildSchemeStyle(manager, ColorFromTColor(manager.PanelColor, QPalette()), QPalette());
    require(!s.StyleSheet.isEmpty());
    require(ContrastRatio(s.WindowText, s.FormColor) >= 4.5);
    return 0;
}
