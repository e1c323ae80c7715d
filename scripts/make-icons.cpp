// Draws the program's icons (all our own drawings) and writes them into app/gui/resources/.
// Build and run with scripts/make-icons.sh; the outputs are committed, so the build does
// not run this.
#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter &)>;

// Every drawing works on a 64 x 64 canvas; render() scales it to the wanted size.
QImage render(const Draw &draw, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 64.0, size / 64.0);
    draw(p);
    p.end();
    return image;
}

void arrowHead(QPainter &p, QPointF tip, QPointF dir, qreal len, qreal half, const QColor &c)
{
    const QPointF n(-dir.y(), dir.x());
    QPolygonF tri;
    tri << tip << tip - dir * len + n * half << tip - dir * len - n * half;
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(tri);
}

void cylinder(QPainter &p, QRectF r, const QColor &c)
{
    const qreal eh = r.height() * 0.28; // height of the top ellipse
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, c.darker(130));
    g.setColorAt(0.45, c.lighter(130));
    g.setColorAt(1, c.darker(150));
    QPainterPath body;
    body.moveTo(r.left(), r.top() + eh / 2);
    body.lineTo(r.left(), r.bottom() - eh / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - eh, r.width(), eh), 180, 180);
    body.lineTo(r.right(), r.top() + eh / 2);
    body.arcTo(QRectF(r.left(), r.top(), r.width(), eh), 0, -180);
    p.setPen(QPen(c.darker(200), 1.5));
    p.setBrush(g);
    p.drawPath(body);
    p.setBrush(c.lighter(150));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), eh));
    // two bands
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c.darker(170), 1.2));
    for (qreal f : {0.42, 0.68}) {
        const qreal y = r.top() + (r.height() - eh) * f;
        p.drawArc(QRectF(r.left(), y, r.width(), eh), 180 * 16, 180 * 16);
    }
}

void drawRefresh(QPainter &p)
{
    const QColor blue(0x1f, 0x6f, 0xc9);
    p.setPen(QPen(blue, 8, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    const QRectF r(12, 12, 40, 40);
    p.drawArc(r, 100 * 16, 150 * 16);
    p.drawArc(r, 280 * 16, 150 * 16);
    // arrow heads at the ends of both arcs (counter-clockwise), tangent direction
    arrowHead(p, QPointF(18.5, 47), QPointF(0.55, 0.83), 12, 9, blue);
    arrowHead(p, QPointF(45.5, 17), QPointF(-0.55, -0.83), 12, 9, blue);
}

void drawMerge(QPainter &p)
{
    const QColor orange(0xe0, 0x7b, 0x12);
    const QColor green(0x3c, 0x9a, 0x3c);
    cylinder(p, QRectF(4, 4, 18, 22), QColor(0x4a, 0x86, 0xd0));
    cylinder(p, QRectF(4, 38, 18, 22), QColor(0x4a, 0x86, 0xd0));
    cylinder(p, QRectF(40, 18, 22, 30), green);
    QPen pen(orange, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(22, 15);
    path.cubicTo(28, 15, 28, 33, 33, 33);
    path.moveTo(22, 49);
    path.cubicTo(28, 49, 28, 33, 33, 33);
    p.drawPath(path);
    arrowHead(p, QPointF(40, 33), QPointF(1, 0), 9, 6, orange);
}

void drawContinue(QPainter &p)
{
    // a page with lines and a green arrow: "take this record and go on"
    QPainterPath page;
    page.moveTo(10, 4);
    page.lineTo(38, 4);
    page.lineTo(50, 16);
    page.lineTo(50, 60);
    page.lineTo(10, 60);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 2));
    p.setBrush(QColor(0xfa, 0xfa, 0xf5));
    p.drawPath(page);
    p.setBrush(QColor(0xdd, 0xdd, 0xdd));
    p.drawPolygon(QPolygonF() << QPointF(38, 4) << QPointF(38, 16) << QPointF(50, 16));
    p.setPen(QPen(QColor(0x88, 0x88, 0x88), 2.5));
    for (int y = 22; y <= 50; y += 7)
        p.drawLine(QPointF(16, y), QPointF(44, y));
    const QColor green(0x2e, 0x9e, 0x3a);
    p.setPen(QPen(green.darker(140), 2));
    p.setBrush(green);
    QPolygonF arrow;
    arrow << QPointF(26, 36) << QPointF(44, 36) << QPointF(44, 28) << QPointF(62, 44)
          << QPointF(44, 60) << QPointF(44, 52) << QPointF(26, 52);
    p.drawPolygon(arrow);
}

void drawRoundSign(QPainter &p, const QColor &c)
{
    QRadialGradient g(QPointF(26, 24), 34);
    g.setColorAt(0, c.lighter(140));
    g.setColorAt(1, c.darker(120));
    p.setPen(QPen(c.darker(170), 2));
    p.setBrush(g);
    p.drawEllipse(QRectF(4, 4, 56, 56));
}

void drawPlus(QPainter &p)
{
    drawRoundSign(p, QColor(0x2e, 0x9e, 0x3a));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(28, 14, 8, 36), 2, 2);
    p.drawRoundedRect(QRectF(14, 28, 36, 8), 2, 2);
}

void drawCancel(QPainter &p)
{
    drawRoundSign(p, QColor(0xd0, 0x2a, 0x2a));
    p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(21, 21), QPointF(43, 43));
    p.drawLine(QPointF(43, 21), QPointF(21, 43));
}

void drawApply(QPainter &p)
{
    const QColor green(0x2e, 0x9e, 0x3a);
    QPainterPath tick;
    tick.moveTo(6, 34);
    tick.lineTo(24, 52);
    tick.lineTo(58, 12);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(green.darker(160), 13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.setPen(QPen(green.lighter(115), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void drawHome(QPainter &p)
{
    p.setPen(QPen(QColor(0x6b, 0x4a, 0x2b), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0xf3, 0xe9, 0xd2));
    p.drawRect(QRectF(14, 30, 36, 28));
    p.setBrush(QColor(0xc0, 0x39, 0x2b));
    p.drawPolygon(QPolygonF() << QPointF(4, 33) << QPointF(32, 6) << QPointF(60, 33));
    p.setBrush(QColor(0x8a, 0x5a, 0x2f));
    p.drawRect(QRectF(27, 40, 11, 18));
    p.setBrush(QColor(0x9f, 0xc9, 0xef));
    p.drawRect(QRectF(40, 36, 7, 7));
}

void drawLogo(QPainter &p)
{
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(0x2f, 0x80, 0xd8));
    g.setColorAt(1, QColor(0x15, 0x46, 0x8a));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(46);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 2, 60, 60), Qt::AlignCenter, QStringLiteral("S"));
}

void drawApp(QPainter &p)
{
    cylinder(p, QRectF(3, 3, 22, 26), QColor(0x4a, 0x86, 0xd0));
    cylinder(p, QRectF(3, 35, 22, 26), QColor(0x4a, 0x86, 0xd0));
    cylinder(p, QRectF(36, 14, 26, 36), QColor(0x3c, 0x9a, 0x3c));
    const QColor orange(0xe8, 0x80, 0x10);
    p.setPen(QPen(orange, 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(25, 16);
    path.cubicTo(30, 16, 29, 32, 31, 32);
    path.moveTo(25, 48);
    path.cubicTo(30, 48, 29, 32, 31, 32);
    p.drawPath(path);
    arrowHead(p, QPointF(37, 32), QPointF(1, 0), 8, 6, orange);
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// An ICO file whose images are PNG-compressed (Windows Vista on, Qt's ico plugin).
QByteArray ico(const QList<QImage> &images)
{
    QByteArray header(6, '\0');
    qToLittleEndian<quint16>(1, header.data() + 2); // type: icon
    qToLittleEndian<quint16>(quint16(images.size()), header.data() + 4);
    QByteArray directory;
    QByteArray data;
    quint32 offset = quint32(6 + 16 * images.size());
    for (const QImage &image : images) {
        const QByteArray bytes = png(image);
        QByteArray entry(16, '\0');
        entry[0] = char(image.width() >= 256 ? 0 : image.width());
        entry[1] = char(image.height() >= 256 ? 0 : image.height());
        qToLittleEndian<quint16>(1, entry.data() + 4);  // colour planes
        qToLittleEndian<quint16>(32, entry.data() + 6); // bits per pixel
        qToLittleEndian<quint32>(quint32(bytes.size()), entry.data() + 8);
        qToLittleEndian<quint32>(offset, entry.data() + 12);
        offset += quint32(bytes.size());
        directory += entry;
        data += bytes;
    }
    return header + directory + data;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-icons OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char *name;
        Draw draw;
    } buttons[] = {
        {"toolBarRefresh.png", drawRefresh}, {"menuLang.png", drawMerge},
        {"menuPrintComments.png", drawContinue}, {"Plus.png", drawPlus},
        {"cancelAction.png", drawCancel}, {"ApplyNew.png", drawApply},
        {"home.png", drawHome}, {"LogoSorvanta.png", drawLogo},
    };
    bool ok = true;
    for (const auto &b : buttons)
        ok &= writeFile(out.filePath(QString::fromLatin1(b.name)), png(render(b.draw, 64)));
    ok &= writeFile(out.filePath(QStringLiteral("appIcon.ico")),
                    ico({render(drawApp, 16), render(drawApp, 32), render(drawApp, 48),
                         render(drawApp, 256)}));
    ok &= writeFile(out.filePath(QStringLiteral("kvtmerge.png")), png(render(drawApp, 256)));
    return ok ? 0 : 1;
}
