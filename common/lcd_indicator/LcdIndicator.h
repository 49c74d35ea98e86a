// TLcdIndicator: a row of seven-segment, nine-segment or 5 x 7 dot-matrix character cells drawn like a
// liquid-crystal display, with bevels, any slant, colour schemes or bitmap materials, transparent modes
// and a reaction to the mouse. Both configurators show their measurements with it.
#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPolygon>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>

class TLcdIndicator : public QWidget {
    Q_OBJECT

public:
    enum TLcdIndicatorKind : std::uint8_t { ik7segment, ik5x7matrix, ik9segment };
    Q_ENUM(TLcdIndicatorKind)
    enum TLcdBevelKind : std::uint8_t { bkUP, bkDown, bkNone };
    Q_ENUM(TLcdBevelKind)
    enum TLcdIndicatorStyle : std::uint8_t { isThin, isNormal, isThick };
    Q_ENUM(TLcdIndicatorStyle)
    enum TLcdMouseAction : std::uint8_t { maNone, maColor, maWidth, maBoth };
    Q_ENUM(TLcdMouseAction)
    enum TLcdTransparentMode : std::uint8_t { tmNone, tmBackOnly, tmAll };
    Q_ENUM(TLcdTransparentMode)
    enum TLcdColorScheme : std::uint8_t {
        csSilver,
        csInvSilver,
        csWhite,
        csBlack,
        csPlasma,
        csInvPlasma,
        csNavy
    };
    Q_ENUM(TLcdColorScheme)
    enum TLcdMaterialShadowMode : std::uint8_t { msmDark, msmLight, msmNone };
    Q_ENUM(TLcdMaterialShadowMode)
    enum TLcdMaterialMode : std::uint8_t { mmStretch, mmTile };
    Q_ENUM(TLcdMaterialMode)

private:
    Q_PROPERTY(TLcdColorScheme ColorScheme READ ColorScheme WRITE setColorScheme)
    Q_PROPERTY(int SignNumber READ SignNumber WRITE setSignNumber)
    Q_PROPERTY(int IndicatorWidth READ IndicatorWidth WRITE setIndicatorWidth)
    Q_PROPERTY(int IndicatorHeight READ IndicatorHeight WRITE setIndicatorHeight)
    Q_PROPERTY(int IndicatorAngle READ IndicatorAngle WRITE setIndicatorAngle)
    Q_PROPERTY(int IndicatorGap READ IndicatorGap WRITE setIndicatorGap)
    Q_PROPERTY(QString Indicatorstring READ Indicatorstring WRITE setIndicatorstring)
    Q_PROPERTY(TLcdIndicatorKind IndicatorKind READ IndicatorKind WRITE setIndicatorKind)
    Q_PROPERTY(TLcdBevelKind InnerBevel READ InnerBevel WRITE setInnerBevel)
    Q_PROPERTY(TLcdBevelKind OuterBevel READ OuterBevel WRITE setOuterBevel)
    Q_PROPERTY(int InnerBevelWidth READ InnerBevelWidth WRITE setInnerBevelWidth)
    Q_PROPERTY(int OuterBevelWidth READ OuterBevelWidth WRITE setOuterBevelWidth)
    Q_PROPERTY(QColor BevelColor READ BevelColor WRITE setBevelColor)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(QColor NumberForeColor READ NumberForeColor WRITE setNumberForeColor)
    Q_PROPERTY(QColor NumberForeColor1 READ NumberForeColor1 WRITE setNumberForeColor1)
    Q_PROPERTY(QColor NumberBackColor READ NumberBackColor WRITE setNumberBackColor)
    Q_PROPERTY(TLcdIndicatorStyle IndicatorStyle READ IndicatorStyle WRITE setIndicatorStyle)
    Q_PROPERTY(TLcdMouseAction MouseAction READ MouseAction WRITE setMouseAction)
    Q_PROPERTY(TLcdTransparentMode TransparentMode READ TransparentMode WRITE setTransparentMode)
    Q_PROPERTY(QImage BackMaterial READ BackMaterial WRITE setBackMaterial)
    Q_PROPERTY(QImage ForeMaterial READ ForeMaterial WRITE setForeMaterial)
    Q_PROPERTY(TLcdMaterialShadowMode MaterialShadowMode READ MaterialShadowMode WRITE setMaterialShadowMode)
    Q_PROPERTY(TLcdMaterialMode MaterialMode READ MaterialMode WRITE setMaterialMode)
    Q_PROPERTY(TLcdMaterialMode ForeMaterialMode READ ForeMaterialMode WRITE setForeMaterialMode)

public:
    // Private refresh message that the control posts to itself: rebuild the image and repaint.
    static constexpr int RefreshEventType = 0xB065;

    explicit TLcdIndicator(QWidget* parent = nullptr);
    ~TLcdIndicator() override;

    // The five colours of a scheme: back, bevel, number back, number fore, number fore while hovered.
    struct SchemeColors {
        QColor back, bevel, numberBack, numberFore, numberFore1;
    };
    static SchemeColors SchemeColorsOf(TLcdColorScheme scheme);

    TLcdColorScheme ColorScheme() const { return FColorScheme; }
    void setColorScheme(TLcdColorScheme value);
    int SignNumber() const { return FSignNumber; }
    void setSignNumber(int value); // 0 or less is ignored
    int IndicatorWidth() const { return FIndicatorWidth; }
    void setIndicatorWidth(int value); // 0 or less is ignored
    int IndicatorHeight() const { return FIndicatorHeight; }
    void setIndicatorHeight(int value);                    // 0 or less is ignored
    int IndicatorAngle() const { return FIndicatorAngle; } // tenths of a degree, counter-clockwise
    void setIndicatorAngle(int value);
    int IndicatorGap() const { return FIndicatorGap; }
    void setIndicatorGap(int value);
    QString Indicatorstring() const { return FIndicatorstring; }
    void setIndicatorstring(const QString& value);
    TLcdIndicatorKind IndicatorKind() const { return FIndicatorKind; }
    void setIndicatorKind(TLcdIndicatorKind value);
    TLcdBevelKind InnerBevel() const { return FInnerBevel; }
    void setInnerBevel(TLcdBevelKind value);
    TLcdBevelKind OuterBevel() const { return FOuterBevel; }
    void setOuterBevel(TLcdBevelKind value);
    int InnerBevelWidth() const { return FInnerBevelWidth; }
    void setInnerBevelWidth(int value); // 0 or less is ignored
    int OuterBevelWidth() const { return FOuterBevelWidth; }
    void setOuterBevelWidth(int value); // 0 or less is ignored
    QColor BevelColor() const { return FBevelColor; }
    void setBevelColor(const QColor& value);
    QColor BackColor() const { return FBackColor; }
    void setBackColor(const QColor& value);
    QColor NumberForeColor() const { return FNumberForeColor; }
    void setNumberForeColor(const QColor& value);
    QColor NumberForeColor1() const { return FNumberForeColor1; }
    void setNumberForeColor1(const QColor& value);
    QColor NumberBackColor() const { return FNumberBackColor; }
    void setNumberBackColor(const QColor& value);
    TLcdIndicatorStyle IndicatorStyle() const { return FIndicatorStyle; }
    void setIndicatorStyle(TLcdIndicatorStyle value);
    TLcdMouseAction MouseAction() const { return FMouseAction; }
    void setMouseAction(TLcdMouseAction value);
    TLcdTransparentMode TransparentMode() const { return FTransparentMode; }
    void setTransparentMode(TLcdTransparentMode value);
    QImage BackMaterial() const { return FBackMaterial; }
    void setBackMaterial(const QImage& value); // a null image clears it
    QImage ForeMaterial() const { return FForeMaterial; }
    void setForeMaterial(const QImage& value); // a null image clears it
    TLcdMaterialShadowMode MaterialShadowMode() const { return FMaterialShadowMode; }
    void setMaterialShadowMode(TLcdMaterialShadowMode value);
    TLcdMaterialMode MaterialMode() const { return FMaterialMode; }
    void setMaterialMode(TLcdMaterialMode value);
    TLcdMaterialMode ForeMaterialMode() const { return FForeMaterialMode; }
    void setForeMaterialMode(TLcdMaterialMode value);

    // The built state, for hosts that draw the indicator elsewhere and for checks.
    bool Moused() const { return FMoused; }
    const QImage& CanvasBitmap() const { return FCanvasBitmap; }
    const QRegion& ClipRGN() const { return FClipRGN; }
    const QList<QPoint>& BlackPolyPoly() const { return FBlackPolyPoly; }
    const QList<int>& blackVertex() const { return FBlackVertex; }
    const QList<QPoint>& GrayPOlyPoly() const { return FGrayPolyPoly; }
    const QList<int>& grayVertex() const { return FGrayVertex; }
    int BlackN() const { return static_cast<int>(FBlackVertex.size()); }
    int GrayN() const { return static_cast<int>(FGrayVertex.size()); }
    // The polygons of one list, split by their point counts.
    static QList<QPolygon> SplitPolyPoly(const QList<QPoint>& points, const QList<int>& counts);

    // Size of the control for the present display size and angle.
    QSize ControlSizeForDisplay() const;
    QSize sizeHint() const override { return ControlSizeForDisplay(); }
    QSize minimumSizeHint() const override { return ControlSizeForDisplay(); }

    // --- Glyphs and geometry, independent of any instance ---

    // The element pattern of one character ('1' = on), point element included and off:
    // 8 elements for ik7segment, 10 for ik9segment, 35 (seven rows of five) for ik5x7matrix.
    static QString GlyphPattern(QChar ch, TLcdIndicatorKind kind);
    // The patterns of the cells that `text` occupies on `signNumber` cells, left to right.
    static QStringList CellPatterns(const QString& text, TLcdIndicatorKind kind, int signNumber);
    // The polygons of every element of one cell of width w and height h, in element order,
    // in cell coordinates.
    static QList<QPolygon> CellElementPolygons(TLcdIndicatorKind kind, int w, int h, TLcdIndicatorStyle style,
                                               bool hovered);

Q_SIGNALS:
    void onMouseEnter(TLcdIndicator* sender);
    void onMouseExit(TLcdIndicator* sender);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    int Border() const;
    bool Hovered(bool forWidth) const;
    QPoint Place(QPointF p) const; // rotate about the display centre, then centre in the control
    QPolygon PlacedPolygon(const QPolygon& poly, QPoint offset) const;
    void BuildPolygons();
    void PaintImage();
    void PrepareMaterials();
    void SetControlSize();
    void UpdateWindowRegion();
    void Rebuild(); // polygons, image, repaint
    void PostRefresh();

    TLcdColorScheme FColorScheme = csSilver;
    int FSignNumber = 10;
    int FIndicatorWidth = 172;
    int FIndicatorHeight = 36;
    int FIndicatorAngle = 0;
    int FIndicatorGap = 2;
    QString FIndicatorstring;
    TLcdIndicatorKind FIndicatorKind = ik7segment;
    TLcdBevelKind FInnerBevel = bkDown;
    TLcdBevelKind FOuterBevel = bkUP;
    int FInnerBevelWidth = 2;
    int FOuterBevelWidth = 2;
    QColor FBevelColor{0xDD, 0xDD, 0xDD};
    QColor FBackColor{0xDD, 0xDD, 0xDD};
    QColor FNumberForeColor{0x36, 0x36, 0x36};
    QColor FNumberForeColor1{0xFF, 0x00, 0x00};
    QColor FNumberBackColor{0xD3, 0xD3, 0xD3};
    TLcdIndicatorStyle FIndicatorStyle = isNormal;
    TLcdMouseAction FMouseAction = maNone;
    TLcdTransparentMode FTransparentMode = tmNone;
    QImage FBackMaterial;
    QImage FForeMaterial;
    TLcdMaterialShadowMode FMaterialShadowMode = msmDark;
    TLcdMaterialMode FMaterialMode = mmStretch;
    TLcdMaterialMode FForeMaterialMode = mmStretch;

    QImage FBackMaterialD;  // back material darkened by 64: darker bevel sides
    QImage FBackMaterialL;  // back material lightened by 64: lighter bevel sides
    QImage FBackMaterialLD; // back material shaded by MaterialShadowMode: off segments
    bool FMoused = false;
    bool FImloaded = false;
    bool FRefreshPosted = false;
    QImage FCanvasBitmap;
    QRegion FClipRGN;
    QList<QPoint> FBlackPolyPoly;
    QList<int> FBlackVertex;
    QList<QPoint> FGrayPolyPoly;
    QList<int> FGrayVertex;
    double FCos = 1.0;
    double FSin = 0.0;
};
