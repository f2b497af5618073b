// The shared fixture of the window tests.
#include "gui/GuiFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

QByteArray ConfigFor(int lastOctet)
{
    return QByteArray("127\r\n0\r\n0\r\n") + QByteArray::number(lastOctet) + "\r\n";
}

ModalAnswerer::ModalAnswerer()
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start();
}

void ModalAnswerer::TypeFileName(const QString& path)
{
    fileAnswers_.push_back([path](QWidget* dialog) {
        auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        nameBox->setText(path);
        QTest::keyClick(nameBox, Qt::Key_Return);
    });
}

void ModalAnswerer::AnswerFileDialog(std::function<void(QWidget*)> answer)
{
    fileAnswers_.push_back(std::move(answer));
}

void ModalAnswerer::CancelFileDialog()
{
    fileAnswers_.push_back([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
}

void ModalAnswerer::Answer()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        messages.push_back({box->windowTitle(), box->text()});
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && dialog->isVisible()) {
        fileDialogTitles.push_back(dialog->windowTitle());
        if (fileAnswers_.empty()) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        const auto answer = std::move(fileAnswers_.front());
        fileAnswers_.pop_front();
        answer(dialog);
    }
}

ProgramUnderTest::ProgramUnderTest(int lastOctet, const QByteArray& config)
    : previousDirectory_(QDir::currentPath()), previousPath_(qgetenv("PATH")), console(lastOctet)
{
    // Edit Config.ini and Updates must not start a real editor or browser: a stand-in opener
    // records its arguments and working directory instead.
    const QString bin = folder_.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    QFile opener(bin + QStringLiteral("/xdg-open"));
    opener.open(QIODevice::WriteOnly);
    opener.write("#!/bin/sh\nprintf '%s|%s\\n' \"$PWD\" \"$*\" >> \"$(dirname \"$0\")/../opener.log\"\n");
    opener.close();
    opener.setPermissions(opener.permissions() | QFile::ExeOwner);
    qputenv("PATH", bin.toLocal8Bit() + ':' + previousPath_);
    if (!config.isNull()) {
        QFile file(folder_.filePath(QStringLiteral("config.ini")));
        file.open(QIODevice::WriteOnly);
        file.write(config);
    }
    QDir::setCurrent(folder_.path());
    started = StartProgram(program);
    if (!QTest::qWaitForWindowExposed(program.window.MainWindow())) {
        qWarning("the main window was not exposed");
    }
}

ProgramUnderTest::~ProgramUnderTest()
{
    ShutDown(program);
    QDir::setCurrent(previousDirectory_);
    qputenv("PATH", previousPath_);
}

void ProgramUnderTest::Pump()
{
    for (EventKind kind; (kind = program.window.PollEvent()) != EventKind::None;) {
        HandleEvent(program, kind);
        if (program.shell.quit) {
            return;
        }
    }
}

void ProgramUnderTest::Click(int number)
{
    QWidget* control = Control(number);
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
    Pump();
}

QWidget* ProgramUnderTest::Control(int number) const
{
    return program.window.Control(number);
}

void TypeInto(ProgramUnderTest& p, int field, const QString& text)
{
    p.Click(field);
    auto* edit = qobject_cast<QLineEdit*>(p.Control(field));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    p.Pump();
}

std::vector<FloatMessage> Received(UdpReceiver& console, std::size_t atLeast)
{
    return DecodeFloatMessages(console.WaitFor(atLeast, std::chrono::seconds(20)));
}

QStringList ProgramUnderTest::OpenerCalls() const
{
    QFile log(folder_.filePath(QStringLiteral("opener.log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
