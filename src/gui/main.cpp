#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vextral"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Vextral 2.1"));
    window.resize(615, 436);
    auto* label = new QLabel(QStringLiteral("Vextral 2.1"), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.show();
    return QApplication::exec();
}
