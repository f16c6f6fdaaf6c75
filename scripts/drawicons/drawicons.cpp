// Draws the program's tool-bar icons, the language flags and the application icon.
// Usage: drawicons <source dir>; writes icons/*.png, icons/app/*.png and qttrans/lang/*.png.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>

namespace {

const int IconSize = 32;
// 2 draws the @2x pictures that high-DPI screens take: the same drawing at
// twice the pixels, not an enlarged image.
int Scale = 1;
const QColor Outline(40, 48, 60);

QImage canvas()
{
    QImage img(IconSize * Scale, IconSize * Scale, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void begin(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(Scale, Scale);
}

QImage drawConfigure()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    p.translate(16, 16);

    // Gear: eight trapezoid teeth around a ring with a hole.
    QPainterPath gear;
    const int teeth = 8;
    const qreal rOut = 14.5, rIn = 11.0;
    for (int i = 0; i < teeth; ++i) {
        const qreal a = 2 * M_PI * i / teeth;
        const qreal w1 = 0.20, w2 = 0.14; // half-widths of tooth root and tip, radians
        QPointF p1(rIn * qCos(a - w1 * 1.3), rIn * qSin(a - w1 * 1.3));
        QPointF p2(rOut * qCos(a - w2), rOut * qSin(a - w2));
        QPointF p3(rOut * qCos(a + w2), rOut * qSin(a + w2));
        QPointF p4(rIn * qCos(a + w1 * 1.3), rIn * qSin(a + w1 * 1.3));
        if (i == 0)
            gear.moveTo(p1);
        else
            gear.lineTo(p1);
        gear.lineTo(p2);
        gear.lineTo(p3);
        gear.lineTo(p4);
        const qreal next = 2 * M_PI * (i + 1) / teeth - w1 * 1.3;
        gear.arcTo(QRectF(-rIn, -rIn, 2 * rIn, 2 * rIn), -qRadiansToDegrees(a + w1 * 1.3),
                   -qRadiansToDegrees(next - (a + w1 * 1.3)));
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(0, 0), 4.5, 4.5);
    gear = gear.subtracted(hole);

    QLinearGradient g(-14, -14, 14, 14);
    g.setColorAt(0, QColor(190, 198, 210));
    g.setColorAt(1, QColor(95, 105, 122));
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(g);
    p.drawPath(gear);
    return img;
}

QImage drawClear()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);

    // Eraser lying at 45 degrees: a pink rubber end and a blue sleeve.
    p.save();
    p.translate(15, 15);
    p.rotate(-45);
    const QRectF body(-13, -6.5, 26, 13);
    QRectF rubber = body;
    rubber.setRight(-3);
    QRectF sleeve = body;
    sleeve.setLeft(-3);
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(238, 120, 140));
    p.drawRoundedRect(rubber, 2, 2);
    QLinearGradient sg(0, -6.5, 0, 6.5);
    sg.setColorAt(0, QColor(110, 160, 230));
    sg.setColorAt(1, QColor(50, 95, 180));
    p.setBrush(sg);
    p.drawRoundedRect(sleeve, 2, 2);
    p.restore();

    // The wiped trace under it.
    p.setPen(QPen(QColor(120, 120, 120), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 29), QPointF(28, 29));
    return img;
}

void arrowHead(QPainter &p, QPointF tip, qreal angleDeg, qreal size, const QColor &c)
{
    p.save();
    p.translate(tip);
    p.rotate(angleDeg);
    QPainterPath head;
    head.moveTo(0, 0);
    head.lineTo(-size, -size * 0.75);
    head.lineTo(-size, size * 0.75);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(head);
    p.restore();
}

QImage drawRefresh()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    const QColor green(40, 150, 60);
    const QRectF circle(5, 5, 22, 22);
    p.setPen(QPen(green, 3.2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    // Two arcs, each ending in an arrow head, chasing each other clockwise.
    p.drawArc(circle, 100 * 16, 140 * 16);
    p.drawArc(circle, -80 * 16, 140 * 16);
    auto onCircle = [&](qreal deg) {
        const qreal a = qDegreesToRadians(deg);
        return QPointF(16 + 11 * qCos(a), 16 - 11 * qSin(a));
    };
    // Arc from 100 to 240 degrees counter-clockwise ends at 100 when run clockwise.
    arrowHead(p, onCircle(92), 0, 6.5, green);
    arrowHead(p, onCircle(-88), 180, 6.5, green);
    return img;
}

void floppy(QPainter &p)
{
    QPainterPath body;
    body.moveTo(3, 3);
    body.lineTo(24, 3);
    body.lineTo(29, 8);
    body.lineTo(29, 29);
    body.lineTo(3, 29);
    body.closeSubpath();
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(60, 90, 160));
    p.drawPath(body);
    // Metal shutter and label.
    p.setBrush(QColor(205, 210, 218));
    p.drawRect(QRectF(8, 3, 13, 8));
    p.setBrush(QColor(60, 90, 160));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(16.5, 4.5, 3, 5));
    p.setPen(QPen(Outline, 1.0));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(7, 16, 18, 11));
    p.setPen(QPen(QColor(170, 175, 185), 1.0));
    p.drawLine(QPointF(9, 19.5), QPointF(23, 19.5));
    p.drawLine(QPointF(9, 23), QPointF(23, 23));
}

QImage drawSave()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    floppy(p);
    return img;
}

// The floppy whose label carries a signal trace: the measurement, not a configuration.
QImage drawMeasurementSave()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    floppy(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(7.5, 16.5, 17, 10));
    QPainterPath wave;
    for (int i = 0; i <= 24; ++i) {
        const qreal x = 8.5 + 15.0 * i / 24;
        const qreal y = 21.5 - 3.6 * qSin(2 * M_PI * 1.5 * i / 24);
        if (i == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(210, 60, 50), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    return img;
}

// A log sheet of lines with the red dot of a running recording on it.
QImage drawRecord()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(250, 250, 250));
    p.drawRoundedRect(QRectF(3, 2.5, 21, 27), 2, 2);
    p.setPen(QPen(QColor(120, 130, 145), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(7, 8 + 4.5 * i), QPointF(20, 8 + 4.5 * i));
    QRadialGradient g(QPointF(21.5, 20.5), 9);
    g.setColorAt(0, QColor(255, 110, 100));
    g.setColorAt(1, QColor(190, 20, 20));
    p.setPen(QPen(QColor(110, 10, 10), 1.2));
    p.setBrush(g);
    p.drawEllipse(QPointF(23, 22), 7.5, 7.5);
    return img;
}

// The trace of a signal running on with the red dot of a running recording:
// every sample, not the results.
QImage drawMeasurementRecord()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(250, 250, 250));
    p.drawRoundedRect(QRectF(1.5, 5.5, 27, 19), 2, 2);
    QPainterPath wave;
    for (int i = 0; i <= 40; ++i) {
        const qreal x = 4.0 + 22.0 * i / 40;
        const qreal y = 15.0 - 6.0 * qSin(2 * M_PI * 2.5 * i / 40) * (0.55 + 0.45 * i / 40);
        if (i == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(30, 90, 200), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    QRadialGradient g(QPointF(23.5, 23.5), 8);
    g.setColorAt(0, QColor(255, 110, 100));
    g.setColorAt(1, QColor(190, 20, 20));
    p.setPen(QPen(QColor(110, 10, 10), 1.2));
    p.setBrush(g);
    p.drawEllipse(QPointF(24.5, 24.5), 6.5, 6.5);
    return img;
}

QImage drawLoad()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    // Folder with a tab, its front flap lighter, and an arrow out of it.
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(QColor(230, 180, 60));
    QPainterPath back;
    back.moveTo(2, 9);
    back.lineTo(2, 28);
    back.lineTo(28, 28);
    back.lineTo(28, 11);
    back.lineTo(14, 11);
    back.lineTo(11.5, 8);
    back.lineTo(3, 8);
    back.closeSubpath();
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(2, 28);
    front.lineTo(6, 15);
    front.lineTo(31, 15);
    front.lineTo(28, 28);
    front.closeSubpath();
    QLinearGradient fg(0, 15, 0, 28);
    fg.setColorAt(0, QColor(255, 215, 110));
    fg.setColorAt(1, QColor(240, 185, 60));
    p.setBrush(fg);
    p.drawPath(front);

    // Green arrow pointing up out of the folder.
    const QColor green(40, 150, 60);
    QPainterPath arrow;
    arrow.moveTo(20, 1.5);
    arrow.lineTo(27, 9);
    arrow.lineTo(23, 9);
    arrow.lineTo(23, 19);
    arrow.lineTo(17, 19);
    arrow.lineTo(17, 9);
    arrow.lineTo(13, 9);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(20, 90, 30), 1.0));
    p.setBrush(green);
    p.drawPath(arrow);
    return img;
}

// Flags fill a 32 x 21 rectangle in the middle of the square canvas.
const QRectF FlagRect(0.5, 5.5, 31, 21);

QImage drawRussianFlag()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    const qreal h = FlagRect.height() / 3;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(FlagRect.left(), FlagRect.top(), FlagRect.width(), h));
    p.setBrush(QColor(0, 57, 166));
    p.drawRect(QRectF(FlagRect.left(), FlagRect.top() + h, FlagRect.width(), h));
    p.setBrush(QColor(213, 43, 30));
    p.drawRect(QRectF(FlagRect.left(), FlagRect.top() + 2 * h, FlagRect.width(), h));
    p.setPen(QPen(QColor(120, 120, 120), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(FlagRect);
    return img;
}

QImage drawUkFlag()
{
    QImage img = canvas();
    QPainter p(&img);
    begin(p);
    const QColor blue(1, 33, 105), red(200, 16, 46);
    p.setClipRect(FlagRect);
    p.fillRect(FlagRect, blue);
    const QPointF tl = FlagRect.topLeft(), br = FlagRect.bottomRight();
    const QPointF tr = FlagRect.topRight(), bl = FlagRect.bottomLeft();
    p.setPen(QPen(Qt::white, 4.2));
    p.drawLine(tl, br);
    p.drawLine(tr, bl);
    p.setPen(QPen(red, 1.4));
    p.drawLine(tl, br);
    p.drawLine(tr, bl);
    const QPointF c = FlagRect.center();
    p.fillRect(QRectF(c.x() - 3.5, FlagRect.top(), 7, FlagRect.height()), Qt::white);
    p.fillRect(QRectF(FlagRect.left(), c.y() - 3.5, FlagRect.width(), 7), Qt::white);
    p.fillRect(QRectF(c.x() - 2, FlagRect.top(), 4, FlagRect.height()), red);
    p.fillRect(QRectF(FlagRect.left(), c.y() - 2, FlagRect.width(), 4), red);
    p.setClipping(false);
    p.setPen(QPen(QColor(120, 120, 120), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(FlagRect);
    return img;
}

// The application icon: a Wheatstone bridge (four arms around a diamond, the
// excitation across one diagonal) with the measured trace across the other,
// drawn on a 256-unit grid so that every size of the hicolor theme is sharp.
QImage drawAppIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    begin(p);
    p.scale(size / 256.0, size / 256.0);

    QLinearGradient bg(0, 0, 0, 256);
    bg.setColorAt(0, QColor(52, 104, 170));
    bg.setColorAt(1, QColor(24, 54, 102));
    p.setPen(QPen(QColor(16, 36, 70), 6));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    // The four arms, thick enough to survive 16 px.
    const QPointF top(128, 40), right(216, 128), bottom(128, 216), left(40, 128);
    QPen arm(QColor(235, 240, 248), size <= 24 ? 22 : 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(arm);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({top, right, bottom, left}));

    // The unbalance signal across the measuring diagonal.
    QPainterPath wave;
    for (int i = 0; i <= 64; ++i) {
        const qreal x = 60 + 136.0 * i / 64;
        const qreal y = 128 - 30 * qSin(2 * M_PI * 1.5 * i / 64);
        if (i == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(255, 176, 40), size <= 24 ? 20 : 12, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.drawPath(wave);

    if (size > 24) {
        p.setPen(QPen(QColor(16, 36, 70), 5));
        p.setBrush(QColor(120, 220, 120));
        for (const QPointF &node : {top, right, bottom, left})
            p.drawEllipse(node, 16, 16);
    }
    return img;
}

bool save(const QImage &img, const QString &path)
{
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = true;
    for (Scale = 1; Scale <= 2; ++Scale) {
        const QString x = Scale == 1 ? QString() : QStringLiteral("@%1x").arg(Scale);
        ok &= save(drawConfigure(), root + "/icons/configure" + x + ".png");
        ok &= save(drawClear(), root + "/icons/clear" + x + ".png");
        ok &= save(drawRefresh(), root + "/icons/refresh" + x + ".png");
        ok &= save(drawSave(), root + "/icons/file_save" + x + ".png");
        ok &= save(drawLoad(), root + "/icons/file_load" + x + ".png");
        ok &= save(drawMeasurementSave(), root + "/icons/measurement_save" + x + ".png");
        ok &= save(drawRecord(), root + "/icons/record" + x + ".png");
        ok &= save(drawMeasurementRecord(), root + "/icons/measurement_record" + x + ".png");
        ok &= save(drawRussianFlag(), root + "/qttrans/lang/ru" + x + ".png");
        ok &= save(drawUkFlag(), root + "/qttrans/lang/en" + x + ".png");
    }
    Scale = 1;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok &= save(drawAppIcon(size),
                   root + QStringLiteral("/icons/app/grv480-monitor-%1.png").arg(size));
    return ok ? 0 : 1;
}
