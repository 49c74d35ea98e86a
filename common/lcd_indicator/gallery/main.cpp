// lcd_gallery: the indicator's kinds, schemes, styles, angles, bevels, materials and transparent modes side
// by side. `lcd_gallery --grab picture.png` saves the window to a file and quits.
#include "LcdIndicator.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cstdio>

namespace {

using L = TLcdIndicator;

L* make(QWidget* parent, const QString& text, L::TLcdIndicatorKind kind = L::ik7segment, int signs = 10) {
    auto* ind = new L(parent);
    ind->setIndicatorKind(kind);
    ind->setSignNumber(signs);
    ind->setIndicatorstring(text);
    return ind;
}

// A captioned indicator in one cell of a grid.
void put(QGridLayout* grid, int row, int col, L* ind, const QString& caption) {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(2, 2, 2, 2);
    ind->setParent(box);
    v->addWidget(ind, 0, Qt::AlignCenter);
    v->addWidget(new QLabel(caption), 0, Qt::AlignHCenter);
    grid->addWidget(box, row, col, Qt::AlignCenter);
}

QGroupBox* group(QVBoxLayout* page, const QString& title, QGridLayout*& grid) {
    auto* box = new QGroupBox(title);
    grid = new QGridLayout(box);
    page->addWidget(box);
    return box;
}

QImage brushedMetal() {
    QImage img(64, 64, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 64, 64);
    g.setColorAt(0, QColor(0x5A, 0x6E, 0x82));
    g.setColorAt(0.5, QColor(0xB4, 0xC8, 0xDC));
    g.setColorAt(1, QColor(0x46, 0x50, 0x5A));
    p.fillRect(img.rect(), g);
    return img;
}

QImage flame() {
    QImage img(32, 32, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, QColor(0xFF, 0xF0, 0x40));
    g.setColorAt(1, QColor(0xE0, 0x20, 0x00));
    p.fillRect(img.rect(), g);
    return img;
}

// A hatched host, so the transparent modes show what lies behind the indicator.
class Hatched : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x30, 0x90, 0x40));
        p.fillRect(rect(), QBrush(QColor(0xF0, 0xF0, 0x90), Qt::DiagCrossPattern));
    }
};

QWidget* buildGallery() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    QGridLayout* g = nullptr;

    group(v, QStringLiteral("Kinds"), g);
    put(g, 0, 0, make(nullptr, QStringLiteral("-123.45")), QStringLiteral("ik7segment \"-123.45\""));
    put(g, 0, 1, make(nullptr, QStringLiteral("12:34:56.7"), L::ik9segment),
        QStringLiteral("ik9segment \"12:34:56.7\""));
    put(g, 0, 2, make(nullptr, QStringLiteral("05.03.2019"), L::ik5x7matrix),
        QStringLiteral("ik5x7matrix \"05.03.2019\""));
    put(g, 1, 0, make(nullptr, QStringLiteral("AbCdEFGHhi")), QStringLiteral("letters"));
    put(g, 1, 1, make(nullptr, QStringLiteral("JjLlnoPrtU")), QStringLiteral("letters"));
    put(g, 1, 2, make(nullptr, QStringLiteral("Tarvo t=21"), L::ik5x7matrix), QStringLiteral("matrix text"));
    put(g, 2, 0, make(nullptr, QStringLiteral("uY-_\u00B0 .1..2")), QStringLiteral("signs and points"));
    put(g, 2, 1, make(nullptr, QStringLiteral("-------")), QStringLiteral("\"-------\""));
    put(g, 2, 2, make(nullptr, QStringLiteral("K 8.8.8.8."), L::ik7segment),
        QStringLiteral("K blank, points"));

    group(v, QStringLiteral("Colour schemes"), g);
    const L::TLcdColorScheme schemes[] = {L::csSilver, L::csInvSilver, L::csWhite, L::csBlack,
                                          L::csPlasma, L::csInvPlasma, L::csNavy};
    const char* schemeNames[] = {"csSilver", "csInvSilver", "csWhite", "csBlack",
                                 "csPlasma", "csInvPlasma", "csNavy"};
    for (int i = 0; i < 7; ++i) {
        auto* ind = make(nullptr, QStringLiteral("21.50\u00B0C"), L::ik7segment, 8);
        ind->setColorScheme(schemes[i]);
        put(g, i / 4, i % 4, ind, QString::fromLatin1(schemeNames[i]));
    }

    group(v, QStringLiteral("Styles (seven segments, matrix), the last column hovered with maBoth"), g);
    const L::TLcdIndicatorStyle styles[] = {L::isThin, L::isNormal, L::isThick};
    const char* styleNames[] = {"isThin", "isNormal", "isThick"};
    for (int i = 0; i < 3; ++i) {
        auto* seg = make(nullptr, QStringLiteral("8.8.8.8."), L::ik7segment, 4);
        seg->setIndicatorWidth(120);
        seg->setIndicatorHeight(48);
        seg->setIndicatorStyle(styles[i]);
        put(g, i, 0, seg, QString::fromLatin1(styleNames[i]));
        auto* mat = make(nullptr, QStringLiteral("8@Wg"), L::ik5x7matrix, 4);
        mat->setIndicatorWidth(120);
        mat->setIndicatorHeight(48);
        mat->setIndicatorStyle(styles[i]);
        put(g, i, 1, mat, QString::fromLatin1(styleNames[i]));
        auto* hov = make(nullptr, QStringLiteral("8.8.8.8."), L::ik7segment, 4);
        hov->setIndicatorWidth(120);
        hov->setIndicatorHeight(48);
        hov->setIndicatorStyle(styles[i]);
        hov->setMouseAction(L::maBoth);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(hov, &enter);
        put(g, i, 2, hov, QStringLiteral("%1, hovered").arg(QString::fromLatin1(styleNames[i])));
    }

    group(v, QStringLiteral("Angles (tenths of a degree)"), g);
    const int angles[] = {0, 100, 450, 900, 1800, 2700, -150};
    for (int i = 0; i < 7; ++i) {
        auto* ind = make(nullptr, QStringLiteral("-12.34"), L::ik7segment, 6);
        ind->setIndicatorWidth(110);
        ind->setIndicatorHeight(34);
        ind->setColorScheme(L::csNavy);
        ind->setIndicatorAngle(angles[i]);
        put(g, 0, i, ind, QString::number(angles[i]));
    }

    group(v, QStringLiteral("Bevels (outer/inner), width 4"), g);
    const L::TLcdBevelKind bevels[] = {L::bkUP, L::bkDown, L::bkNone};
    const char* bevelNames[] = {"bkUP", "bkDown", "bkNone"};
    for (int o = 0; o < 3; ++o) {
        for (int in = 0; in < 3; ++in) {
            auto* ind = make(nullptr, QStringLiteral("3.14"), L::ik7segment, 5);
            ind->setIndicatorWidth(110);
            ind->setColorScheme(L::csInvPlasma);
            ind->setOuterBevelWidth(4);
            ind->setInnerBevelWidth(4);
            ind->setOuterBevel(bevels[o]);
            ind->setInnerBevel(bevels[in]);
            put(g, o, in, ind,
                QStringLiteral("%1/%2").arg(QString::fromLatin1(bevelNames[o]),
                                            QString::fromLatin1(bevelNames[in])));
        }
    }
    for (int i = 0; i < 3; ++i) {
        auto* ind = make(nullptr, QStringLiteral("3.14"), L::ik7segment, 5);
        ind->setIndicatorWidth(110);
        ind->setColorScheme(L::csInvPlasma);
        ind->setOuterBevelWidth(4);
        ind->setInnerBevelWidth(4);
        ind->setIndicatorAngle(i == 0 ? 1800 : i == 1 ? 300 : 2250);
        put(g, i, 3, ind, QStringLiteral("bkUP/bkDown at %1").arg(ind->IndicatorAngle()));
    }

    group(v, QStringLiteral("Materials and transparent modes"), g);
    {
        auto* a = make(nullptr, QStringLiteral("-40.25"), L::ik7segment, 7);
        a->setBackMaterial(brushedMetal());
        a->setOuterBevelWidth(4);
        put(g, 0, 0, a, QStringLiteral("BackMaterial mmStretch, msmDark"));
        auto* b = make(nullptr, QStringLiteral("-40.25"), L::ik7segment, 7);
        b->setMaterialMode(L::mmTile);
        b->setMaterialShadowMode(L::msmLight);
        b->setBackMaterial(brushedMetal());
        put(g, 0, 1, b, QStringLiteral("BackMaterial mmTile, msmLight"));
        auto* c = make(nullptr, QStringLiteral("-40.25"), L::ik7segment, 7);
        c->setColorScheme(L::csBlack);
        c->setForeMaterial(flame());
        c->setIndicatorStyle(L::isThick);
        put(g, 0, 2, c, QStringLiteral("ForeMaterial on csBlack"));
        for (int m = 0; m < 3; ++m) {
            auto* host = new Hatched;
            auto* h = new QHBoxLayout(host);
            h->setContentsMargins(6, 6, 6, 6);
            auto* ind = make(host, QStringLiteral("98.76"), L::ik7segment, 6);
            ind->setIndicatorAngle(m == 2 ? 150 : 0);
            ind->setTransparentMode(static_cast<L::TLcdTransparentMode>(m));
            h->addWidget(ind);
            auto* box = new QWidget;
            auto* bv = new QVBoxLayout(box);
            bv->addWidget(host, 0, Qt::AlignCenter);
            const char* names[] = {"tmNone", "tmBackOnly", "tmAll at 150"};
            bv->addWidget(new QLabel(QString::fromLatin1(names[m])), 0, Qt::AlignHCenter);
            g->addWidget(box, 1, m, Qt::AlignCenter);
        }
    }
    return page;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget* gallery = buildGallery();
    gallery->setWindowTitle(QStringLiteral("TLcdIndicator gallery"));

    const QStringList args = QCoreApplication::arguments();
    const qsizetype grabAt = args.indexOf(QStringLiteral("--grab"));
    if (grabAt > 0 && grabAt + 1 < args.size()) {
        gallery->adjustSize();
        gallery->show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        const bool ok = gallery->grab().save(args.at(grabAt + 1));
        std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(args.at(grabAt + 1)));
        delete gallery;
        return ok ? 0 : 1;
    }

    auto* scroll = new QScrollArea;
    scroll->setWidget(gallery);
    scroll->setWindowTitle(gallery->windowTitle());
    scroll->resize(1000, 800);
    scroll->show();
    const int rc = QApplication::exec();
    delete scroll;
    return rc;
}
