// A stand-in for a file manager in drag tests: a window that, when pressed, takes the focus (as a file
// manager does when the user presses on a file) and drags the file named on its command line.
//   drag-source PATH

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {
class Source final : public QWidget {
public:
    explicit Source(QByteArray path)
        : m_path(std::move(path))
    {
        setWindowTitle(QStringLiteral("drag-source"));
        resize(200, 120);
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        activateWindow();
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("text/uri-list"),
                      QUrl::fromLocalFile(QString::fromLocal8Bit(m_path)).toEncoded() + "\r\n");
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        drag->exec(Qt::MoveAction | Qt::CopyAction);
    }

private:
    QByteArray m_path;
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Source source(argc > 1 ? QByteArray(argv[1]) : QByteArray());
    source.move(700, 400);
    source.show();
    return QApplication::exec();
}
