// Save Scene, Load Scene and Reset through the real window and its real dialogs, with a socket
// of the test in place of the console.
#include "gui/GuiFixture.h"

#include "host/Window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Messages = std::vector<FloatMessage>;

const QString kCredits =
    QStringLiteral(" -  Code: Pellucor - Beta Test: Varnhold - Optimized for a minimalist Mini PC and old PCs");
const QString kSaveTitle = QStringLiteral("Please choose file name to save");
const QString kLoadTitle = QStringLiteral("Please choose file name to Load");

// --- Scene files and messages as the test expects them -------------------------------------

// A scene file of 79 lines, each "0" unless given, each followed by `end`.
QByteArray SceneFile(const std::map<int, QByteArray>& lines, const QByteArray& end = "\r\n")
{
    QByteArray file;
    for (int n = 1; n <= 79; ++n) {
        const auto line = lines.find(n);
        file += (line == lines.end() ? QByteArray("0") : line->second) + end;
    }
    return file;
}

// The example window: channel 01 at 75, LR at 80, P01 "30", "CH 1-8" and the M of channel 03.
const std::map<int, QByteArray> kExampleLines{{1, "75"}, {17, "80"}, {34, "30"}, {50, "1"}, {65, "1"}};

std::string TwoDigits(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string ChannelFader(int channel)
{
    return "/ch/" + TwoDigits(channel) + "/mix/fader";
}

std::string ChannelOn(int channel)
{
    return "/ch/" + TwoDigits(channel) + "/mix/on";
}

std::string PreampGain(int input)
{
    return "/headamp/0" + TwoDigits(input) + "/gain";
}

// Messages as text, the value with every digit a float holds, so that lists compare exactly and
// a failure names the first message that differs.
QStringList Describe(const Messages& messages)
{
    QStringList lines;
    for (const FloatMessage& message : messages) {
        lines << QString::fromStdString(message.address) + QLatin1Char(' ') +
                     QString::number(static_cast<double>(message.value), 'g', 9);
    }
    return lines;
}

// What every load of an openable file sends first: initialise, then every channel and LR on.
Messages LoadPrelude()
{
    Messages messages{{"/-action/initall", 1.0f}, {"/main/st/mix/on", 1.0f}};
    for (int channel = 1; channel <= 16; ++channel) {
        messages.push_back({ChannelOn(channel), 1.0f});
    }
    return messages;
}

Messages Concat(Messages first, const Messages& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Messages ResetMessages()
{
    Messages messages{{"/-stat/chfaderbank", 0.0f}, {"/-stat/grpfaderbank", 0.0f}, {"/-action/initall", 1.0f}};
    for (int channel = 1; channel <= 16; ++channel) {
        messages.push_back({ChannelFader(channel), 0.0f});
    }
    messages.push_back({"/main/st/mix/fader", 0.0f});
    for (int dca = 1; dca <= 8; ++dca) {
        messages.push_back({"/dca/" + std::to_string(dca) + "/fader", 0.0f});
    }
    for (int bus = 1; bus <= 8; ++bus) {
        messages.push_back({"/bus/" + TwoDigits(bus) + "/mix/fader", 0.0f});
    }
    messages.push_back({"/main/st/mix/on", 1.0f});
    for (int channel = 1; channel <= 16; ++channel) {
        messages.push_back({ChannelOn(channel), 1.0f});
    }
    for (int input = 0; input < 16; ++input) {
        messages.push_back({PreampGain(input), 0.0f});
    }
    return messages;
}

// --- Files and folders -----------------------------------------------------------------------

// WriteFile, ReadFile and Entries come from the test support library.

// Sockets this process holds, the program's link among them.
int OpenSockets()
{
    int sockets = 0;
    for (const QString& fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[256] = {};
        const QByteArray link = QByteArrayLiteral("/proc/self/fd/") + fd.toLatin1();
        if (::readlink(link.constData(), target, sizeof target - 1) > 0 && QByteArray(target).startsWith("socket:")) {
            ++sockets;
        }
    }
    return sockets;
}

// FileSizeLimit (a full disk) comes from the test support library.

// Puts permissions back when the test ends, so the temporary folder can be removed.
class PermissionsRestorer {
public:
    explicit PermissionsRestorer(QString path) : path_(std::move(path)), previous_(QFile::permissions(path_)) {}
    ~PermissionsRestorer() { QFile::setPermissions(path_, previous_); }
    PermissionsRestorer(const PermissionsRestorer&) = delete;
    PermissionsRestorer& operator=(const PermissionsRestorer&) = delete;

private:
    QString path_;
    QFile::Permissions previous_;
};

// --- The window ------------------------------------------------------------------------------

bool IsTrackbar(int number)
{
    return number >= 84 && number <= 116;
}

bool IsCheckBox(int number)
{
    return (number >= 67 && number <= 79) || (number >= 188 && number <= 204);
}

// "number=what it shows": a trackbar's or check box's state, any other control's text.
QStringList Showing(const HostWindow& window, const QStringList& expected)
{
    QStringList actual;
    for (const QString& entry : expected) {
        const int number = entry.section(QLatin1Char('='), 0, 0).toInt();
        const QString shown = IsTrackbar(number) || IsCheckBox(number) ? QString::number(window.GetControlState(number))
                                                                       : window.GetControlText(number);
        actual << QStringLiteral("%1=%2").arg(number).arg(shown);
    }
    return actual;
}

// Every control with its state, text and whether it takes input: equal snapshots mean that
// nothing in the window changed.
QStringList Snapshot(const ProgramUnderTest& p)
{
    QStringList snapshot;
    for (int number = 0; number <= 1000; ++number) {
        if (const QWidget* control = p.Control(number)) {
            snapshot << QStringLiteral("%1 state %2 text \"%3\" %4")
                            .arg(number)
                            .arg(p.program.window.GetControlState(number))
                            .arg(p.program.window.GetControlText(number),
                                 control->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"));
        }
    }
    return snapshot;
}

QList<int> DisabledControls(const ProgramUnderTest& p)
{
    QList<int> disabled;
    for (int number = 0; number <= 1000; ++number) {
        if (const QWidget* control = p.Control(number); control && !control->isEnabled()) {
            disabled << number;
        }
    }
    return disabled;
}

// Types into a field and presses Return: the fader or preamp takes the number and sends it.
void TypeAndReturn(ProgramUnderTest& p, int field, const QString& text)
{
    TypeInto(p, field, text);
    QTest::keyClick(p.Control(field), Qt::Key_Return);
    p.Pump();
}

// "field=text" entries of a data row, typed in order.
void TypeAll(ProgramUnderTest& p, const QStringList& entries, bool pressReturn)
{
    for (const QString& entry : entries) {
        const int field = entry.section(QLatin1Char('='), 0, 0).toInt();
        const QString text = entry.section(QLatin1Char('='), 1);
        pressReturn ? TypeAndReturn(p, field, text) : TypeInto(p, field, text);
    }
}

// A window far from its start-up setting, left as the program itself would leave it: every
// fader and preamp off zero, bank and M boxes checked, and "Link 03-04" clicked, which sends
// and greys the controls of channel 04.
void MakeBusy(ProgramUnderTest& p)
{
    HostWindow& window = p.program.window;
    for (int trackbar = 84; trackbar <= 116; ++trackbar) {
        window.SetControlState(trackbar, trackbar - 80);
        window.SetControlText(trackbar + 33, QString::number(trackbar - 80));
    }
    for (int field = 156; field <= 186; field += 2) {
        window.SetControlText(field, QString::number(field - 150));
    }
    for (const int box : {67, 70, 188, 195, 204}) {
        window.SetControlState(box, 1);
    }
    p.Click(73);
    p.console.TakeAll();
}

void SaveAs(ProgramUnderTest& p, const QString& path)
{
    p.answerer.TypeFileName(path);
    p.Click(81);
}

void LoadFrom(ProgramUnderTest& p, const QString& path)
{
    p.answerer.TypeFileName(path);
    p.Click(80);
}

// Sees each file dialog as it opens, before the answerer does: what it offers, and, when asked,
// does something the moment the dialog accepts a name.
class DialogWatcher : public QObject {
public:
    DialogWatcher() { qApp->installEventFilter(this); }
    ~DialogWatcher() override { qApp->removeEventFilter(this); }
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    QStringList filters;
    QString selectedFilter;
    std::function<void(const QString&)> onAccepted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QFileDialog*>(watched);
        if (dialog && event->type() == QEvent::Show) {
            filters = dialog->nameFilters();
            selectedFilter = dialog->selectedNameFilter();
            if (onAccepted) {
                connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) { onAccepted(path); });
            }
        }
        return false;
    }
};

// A failure message names the path and then gives a reason.
bool GivesPathAndReason(const QString& text, const QString& path)
{
    const qsizetype at = text.indexOf(path);
    return at >= 0 && !text.mid(at + path.size()).trimmed().isEmpty();
}

enum class SaveFailure { MissingFolder, FolderIsAFile, DiskFull, ReadOnlyFolder };
enum class Unopenable { Missing, Folder, InUse, Unreadable };

} // namespace

class SceneTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- Save Scene ------------------------------------------------------------------------

    void saveWritesEveryLineAsTheWindowShowsIt_data()
    {
        QTest::addColumn<QStringList>("returned"); // "field=text" typed, then Return
        QTest::addColumn<QStringList>("typed");    // "field=text" typed, no Return
        QTest::addColumn<QList<int>>("clicked");
        QTest::addColumn<QByteArray>("expected");

        // 37 35 0D 0A 30 0D 0A ...: three two-digit lines and 76 one-digit lines, 240 bytes.
        QTest::newRow("the example window, 240 bytes") << QStringList{"117=75", "133=80", "156=30"} << QStringList{}
                                                       << QList<int>{67, 190} << SceneFile(kExampleLines);
        QTest::newRow("an untouched window, 237 bytes")
            << QStringList{} << QStringList{} << QList<int>{} << QByteArray("0\r\n").repeated(79);
        QTest::newRow("055 typed without Return is saved as typed")
            << QStringList{} << QStringList{"117=055", "158=12"} << QList<int>{} << SceneFile({{1, "055"}, {35, "12"}});
        QTest::newRow("a fader at 100 and emptied fields")
            << QStringList{"117=150"} << QStringList{"118=", "160="} << QList<int>{}
            << SceneFile({{1, "100"}, {2, ""}, {36, ""}});
        QTest::newRow("boxes as their handlers left them")
            << QStringList{"119=25"} << QStringList{} << QList<int>{69, 70, 73, 204}
            << SceneFile({{3, "25"}, {4, "25"}, {53, "1"}, {56, "1"}, {79, "1"}});
    }

    void saveWritesEveryLineAsTheWindowShowsIt()
    {
        QFETCH(QStringList, returned);
        QFETCH(QStringList, typed);
        QFETCH(QList<int>, clicked);
        QFETCH(QByteArray, expected);
        ProgramUnderTest p(50);
        TypeAll(p, returned, true);
        TypeAll(p, typed, false);
        for (const int box : clicked) {
            p.Click(box);
        }
        p.console.TakeAll();
        const QStringList before = Snapshot(p);
        const QString path = p.Folder() + QStringLiteral("/mix.scene");

        SaveAs(p, path);

        const QByteArray saved = ReadFile(path);
        QCOMPARE(saved.size(), expected.size());
        QCOMPARE(saved, expected);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("Save..."), path}}));
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(Snapshot(p), before);
    }

    void saveTwiceLeavesOnlyTheSecondContent()
    {
        ProgramUnderTest p(51);
        const QString path = p.Folder() + QStringLiteral("/mix.scene");
        TypeAndReturn(p, 117, QStringLiteral("75"));
        p.Click(190);
        SaveAs(p, path);
        QCOMPARE(ReadFile(path), SceneFile({{1, "75"}, {65, "1"}}));

        TypeAndReturn(p, 117, QStringLiteral("5"));
        p.Click(190);
        SaveAs(p, path);

        QCOMPARE(ReadFile(path), SceneFile({{1, "5"}}));
        QCOMPARE(p.answerer.messages,
                 (std::vector<SeenMessage>{{QStringLiteral("Save..."), path}, {QStringLiteral("Save..."), path}}));
    }

    void saveUsesThePathAsTyped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("no extension: none added") << "live";
        QTest::newRow("the scene extension") << "live.scene";
        QTest::newRow("another extension") << "live.txt";
        QTest::newRow("blanks and non-ASCII letters") << "Live Mix Größe";
    }

    void saveUsesThePathAsTyped()
    {
        QFETCH(QString, name);
        ProgramUnderTest p(52);
        DialogWatcher watcher;
        const QStringList before = Entries(p.Folder());
        const QString path = p.Folder() + QLatin1Char('/') + name;

        SaveAs(p, path);

        QCOMPARE(ReadFile(path), SceneFile({}));
        QStringList expectedEntries = before;
        expectedEntries << name;
        expectedEntries.sort();
        QCOMPARE(Entries(p.Folder()), expectedEntries);
        QCOMPARE(p.answerer.fileDialogTitles, std::vector<QString>{kSaveTitle});
        QCOMPARE(watcher.filters, (QStringList{QStringLiteral("scene (*.scene)"), QStringLiteral("All files (*)")}));
        QCOMPARE(watcher.selectedFilter, QStringLiteral("scene (*.scene)"));
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("Save..."), path}}));
    }

    void saveCancelledTellsAndCreatesNothing()
    {
        ProgramUnderTest p(53);
        const QStringList before = Entries(p.Folder());
        p.answerer.CancelFileDialog();
        p.Click(81);
        QCOMPARE(p.answerer.fileDialogTitles, std::vector<QString>{kSaveTitle});
        QCOMPARE(p.answerer.messages,
                 (std::vector<SeenMessage>{{QStringLiteral("Quillon"), QStringLiteral("The requester was canceled.")},
                                           {QStringLiteral("Save..."), QString()}}));
        QCOMPARE(Entries(p.Folder()), before);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
    }

    void saveFailureKeepsTheOldFileAndTells_data()
    {
        QTest::addColumn<SaveFailure>("failure");
        QTest::newRow("a folder that does not exist") << SaveFailure::MissingFolder;
        QTest::newRow("a folder that is a regular file") << SaveFailure::FolderIsAFile;
        QTest::newRow("the disk fills while writing") << SaveFailure::DiskFull;
        QTest::newRow("a read-only folder") << SaveFailure::ReadOnlyFolder;
    }

    void saveFailureKeepsTheOldFileAndTells()
    {
        QFETCH(SaveFailure, failure);
        ProgramUnderTest p(54);
        TypeAndReturn(p, 117, QStringLiteral("75")); // so that the new content differs from the old
        p.console.TakeAll();
        const QByteArray old = SceneFile({{1, "40"}});
        QString folder = p.Folder();
        QString path;
        std::unique_ptr<PermissionsRestorer> restorer;
        std::unique_ptr<FileSizeLimit> limit;
        switch (failure) {
        case SaveFailure::MissingFolder:
            path = folder + QStringLiteral("/missing/mix.scene");
            break;
        case SaveFailure::FolderIsAFile:
            WriteFile(folder + QStringLiteral("/plain"), old);
            path = folder + QStringLiteral("/plain/mix.scene");
            break;
        case SaveFailure::DiskFull:
            path = folder + QStringLiteral("/mix.scene");
            WriteFile(path, old);
            limit = std::make_unique<FileSizeLimit>(100); // less than the 240 bytes of the scene
            break;
        case SaveFailure::ReadOnlyFolder:
            folder += QStringLiteral("/shows");
            QVERIFY(QDir().mkdir(folder));
            path = folder + QStringLiteral("/mix.scene");
            WriteFile(path, old);
            restorer = std::make_unique<PermissionsRestorer>(folder);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            if (::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
                QSKIP("the folder stays writable for this user (root)");
            }
            break;
        }
        const QStringList before = Entries(p.Folder());
        const QStringList beforeInFolder = Entries(folder);

        SaveAs(p, path);
        limit.reset();

        // An old file is untouched and no temporary file is left behind.
        if (failure == SaveFailure::DiskFull || failure == SaveFailure::ReadOnlyFolder) {
            QCOMPARE(ReadFile(path), old);
        }
        if (failure == SaveFailure::FolderIsAFile) {
            QCOMPARE(ReadFile(folder + QStringLiteral("/plain")), old);
        }
        QCOMPARE(Entries(p.Folder()), before);
        QCOMPARE(Entries(folder), beforeInFolder);
        QCOMPARE(p.answerer.messages.size(), std::size_t{1});
        const SeenMessage& message = p.answerer.messages.front();
        QCOMPARE(message.title, QStringLiteral("Save..."));
        QVERIFY2(message.text.contains(QStringLiteral("not saved"), Qt::CaseInsensitive), qPrintable(message.text));
        QVERIFY2(GivesPathAndReason(message.text, path), qPrintable(message.text));
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
    }

    void saveNameTooLongIsNeverReportedSaved()
    {
        ProgramUnderTest p(55);
        const QStringList before = Entries(p.Folder());
        const QString path = p.Folder() + QLatin1Char('/') + QString(300, QLatin1Char('n'));

        SaveAs(p, path); // the dialog refuses the name and stays open; the answerer then cancels

        QCOMPARE(p.answerer.messages,
                 (std::vector<SeenMessage>{{QStringLiteral("Quillon"), QStringLiteral("The requester was canceled.")},
                                           {QStringLiteral("Save..."), QString()}}));
        QCOMPARE(Entries(p.Folder()), before);
    }

    // --- Load Scene ------------------------------------------------------------------------

    void loadOfZerosSendsEighteenMessages()
    {
        ProgramUnderTest p(56);
        const QStringList startUp = Snapshot(p);
        const QString path = p.Folder() + QStringLiteral("/zeros.scene");
        WriteFile(path, SceneFile({}));

        LoadFrom(p, path);

        QCOMPARE(Describe(Received(p.console, 18)), Describe(LoadPrelude()));
        QCOMPARE(Snapshot(p), startUp);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("Load..."), path}}));
    }

    void loadZeroLinesBringTheWindowInStep()
    {
        ProgramUnderTest p(57);
        const QStringList startUp = Snapshot(p);
        MakeBusy(p);
        QCOMPARE(DisabledControls(p), (QList<int>{4, 87, 120}));
        const QString path = p.Folder() + QStringLiteral("/zeros.scene");
        WriteFile(path, SceneFile({}));

        LoadFrom(p, path);

        // Nothing is sent for a "0" line, yet every value field shows "0" and the pair's
        // controls take input again, exactly as at start-up.
        QCOMPARE(Describe(Received(p.console, 18)), Describe(LoadPrelude()));
        QCOMPARE(Snapshot(p), startUp);
    }

    void loadAppliesTheExampleFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("sent"); // after the 18 of every load
        QTest::addColumn<QStringList>("shown");

        const QStringList sent = Describe({{"/ch/01/mix/fader", 0.75f},
                                           {"/main/st/mix/fader", 0.8f},
                                           {"/headamp/000/gain", 0.3f},
                                           {"/-stat/chfaderbank", 0.1f},
                                           {"/ch/03/mix/on", 0.0f}});
        const QStringList shown{"84=75", "117=75", "100=80", "133=80", "156=30", "67=1", "68=0", "69=0", "190=1"};
        QTest::newRow("CR LF line ends") << SceneFile(kExampleLines) << sent << shown;
        QTest::newRow("LF line ends") << SceneFile(kExampleLines, "\n") << sent << shown;
        QTest::newRow("lone CR line ends") << SceneFile(kExampleLines, "\r") << sent << shown;
        QTest::newRow("lines after line 79 ignored") << SceneFile(kExampleLines) + "99\r\n1\r\n$FF\r\n"
                                                     << sent << shown;

        // The mark is part of line 1, which then is no number: the fader goes to 0 and is sent.
        QStringList markSent = sent;
        markSent[0] = Describe({{"/ch/01/mix/fader", 0.0f}}).front();
        QStringList markShown = shown;
        markShown[0] = QStringLiteral("84=0");
        markShown[1] = QStringLiteral("117=0");
        QTest::newRow("a byte-order mark on line 1")
            << "\xEF\xBB\xBF" + SceneFile(kExampleLines) << markSent << markShown;
    }

    void loadAppliesTheExampleFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, shown);
        ProgramUnderTest p(58);
        DialogWatcher watcher;
        const QString path = p.Folder() + QStringLiteral("/example.scene");
        WriteFile(path, file);

        LoadFrom(p, path);

        QCOMPARE(Describe(Received(p.console, 18 + static_cast<std::size_t>(sent.size()))),
                 Describe(LoadPrelude()) + sent);
        QCOMPARE(Showing(p.program.window, shown), shown);
        QCOMPARE(p.answerer.fileDialogTitles, std::vector<QString>{kLoadTitle});
        QCOMPARE(watcher.filters, (QStringList{QStringLiteral("scene (*.scene)"), QStringLiteral("All files (*)")}));
        QCOMPARE(watcher.selectedFilter, QStringLiteral("scene (*.scene)"));
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("Load..."), path}}));
    }

    void loadAppliesEachLineByTheRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("sent"); // after the 18 of every load
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<int>>("disabled");

        QTest::newRow("00, 250, signs and blanks on fader lines")
            << SceneFile({{1, "00"}, {2, "+0"}, {3, " 0"}, {4, "-5"}, {5, "\t 42x"}, {6, "+12"}, {17, "250"}})
            << Describe({{ChannelFader(1), 0.0f},
                         {ChannelFader(2), 0.0f},
                         {ChannelFader(3), 0.0f},
                         {ChannelFader(4), 0.0f},
                         {ChannelFader(5), 0.42f},
                         {ChannelFader(6), 0.12f},
                         {"/main/st/mix/fader", 1.0f}})
            << QStringList{"84=0",  "117=0",  "118=0",  "119=0",   "87=0",   "120=0",
                           "88=42", "121=42", "122=12", "100=100", "133=100"}
            << QList<int>{};
        QTest::newRow("hexadecimal, base 2 and non-zero box states")
            << SceneFile(
                   {{1, "$FF"}, {2, "%1"}, {3, "$1a"}, {4, "%102"}, {50, "$1"}, {63, "2"}, {64, "-1"}, {79, "$10"}})
            << Describe({{ChannelFader(1), 1.0f},
                         {ChannelFader(2), 0.01f},
                         {ChannelFader(3), 0.26f},
                         {ChannelFader(4), 0.02f},
                         {"/-stat/chfaderbank", 0.1f},
                         {ChannelOn(1), 0.0f},
                         {ChannelOn(2), 0.0f},
                         {"/main/st/mix/on", 0.0f}})
            << QStringList{"117=100", "118=1", "119=26", "120=2", "67=1", "188=1", "189=1", "204=1"} << QList<int>{};
        QTest::newRow("text")
            << SceneFile({{1, "abc"}, {34, "abc"}, {35, "12.5dB"}, {63, "yes"}})
            << Describe({{ChannelFader(1), 0.0f}, {PreampGain(0), 0.0f}, {PreampGain(1), 0.125f}, {ChannelOn(1), 1.0f}})
            << QStringList{"117=0", "156=abc", "158=12.5dB", "188=0"} << QList<int>{};
        QTest::newRow("preamp lines as they stand")
            << SceneFile({{34, "150"}, {35, " 7.5"}, {49, ""}})
            << Describe({{PreampGain(0), 1.5f}, {PreampGain(1), 0.075f}, {PreampGain(15), 0.0f}})
            << QStringList{"156=150", "158= 7.5", "186="} << QList<int>{};
        // FF and a stray 80 read as "?"; the lead byte C3 takes the CR after it, and the LF still
        // ends the line; a code point beyond Unicode reads as U+FFFD.
        QTest::newRow("invalid UTF-8")
            << SceneFile({{1, "\xFF"
                              "5"},
                          {2, "7\xC3"},
                          {34, "\x80"
                               "20"},
                          {36, "\xF4\x90\x80\x80"
                               "4"}})
            << Describe(
                   {{ChannelFader(1), 0.0f}, {ChannelFader(2), 0.07f}, {PreampGain(0), 0.0f}, {PreampGain(2), 0.0f}})
            << QStringList{"117=0", "85=7", "118=7", "156=?20", QStringLiteral("160=\uFFFD4")} << QList<int>{};
        // A NUL ends a line: "3" NUL "5" is lines 1 and 2, and the last line moves past line 79.
        QTest::newRow("a NUL byte ends a line") << SceneFile({{1, QByteArray("3\0"
                                                                             "5",
                                                                             3)}})
                                                << Describe({{ChannelFader(1), 0.03f}, {ChannelFader(2), 0.05f}})
                                                << QStringList{"117=3", "118=5", "119=0"} << QList<int>{};
        QTest::newRow("a line of several megabytes") << SceneFile({{1, QByteArray(4 << 20, '0') + "42"}, {2, "7"}})
                                                     << Describe({{ChannelFader(1), 0.42f}, {ChannelFader(2), 0.07f}})
                                                     << QStringList{"117=42", "118=7"} << QList<int>{};
        // Each bank box clears its siblings; a sibling whose line came earlier stays cleared.
        QTest::newRow("bank boxes clear their siblings")
            << SceneFile({{50, "1"}, {51, "1"}, {52, "1"}, {53, "1"}})
            << Describe({{"/-stat/chfaderbank", 0.1f},
                         {"/-stat/chfaderbank", 0.2f},
                         {"/-stat/chfaderbank", 0.01f},
                         {"/-stat/grpfaderbank", 0.6f},
                         {"/-stat/grpfaderbank", 0.1f}})
            << QStringList{"67=0", "68=0", "69=0", "70=1", "71=0"} << QList<int>{};
        // A checked link makes the even fader follow the odd one's loaded value and greys it; a
        // cleared one ("00" is not "0") still copies and sends it.
        QTest::newRow("link lines") << SceneFile({{1, "40"}, {2, "10"}, {5, "25"}, {55, "1"}, {57, "00"}})
                                    << Describe({{ChannelFader(1), 0.4f},
                                                 {ChannelFader(2), 0.1f},
                                                 {ChannelFader(5), 0.25f},
                                                 {"/config/chlink/1-2", 1.0f},
                                                 {ChannelFader(2), 0.4f},
                                                 {"/config/chlink/5-6", 0.0f},
                                                 {ChannelFader(6), 0.25f}})
                                    << QStringList{"84=40", "85=40", "118=40", "72=1", "89=25", "122=25", "74=0"}
                                    << QList<int>{2, 85, 118};
    }

    void loadAppliesEachLineByTheRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, shown);
        QFETCH(QList<int>, disabled);
        ProgramUnderTest p(59);
        const QString path = p.Folder() + QStringLiteral("/rules.scene");
        WriteFile(path, file);

        LoadFrom(p, path);

        QCOMPARE(Describe(Received(p.console, 18 + static_cast<std::size_t>(sent.size()))),
                 Describe(LoadPrelude()) + sent);
        QCOMPARE(Showing(p.program.window, shown), shown);
        QCOMPARE(DisabledControls(p), disabled);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("Load..."), path}}));
    }

    void loadOfAShortFileRunsTheHandlersOfTheMissingLines()
    {
        ProgramUnderTest p(60);
        const QString path = p.Folder() + QStringLiteral("/short.scene");
        WriteFile(path, "75\r\n0\r\n20"); // lines 4 to 79 read as empty text

        LoadFrom(p, path);

        Messages expected = Concat(LoadPrelude(), {{ChannelFader(1), 0.75f}, {ChannelFader(3), 0.2f}});
        for (int channel = 4; channel <= 16; ++channel) {
            expected.push_back({ChannelFader(channel), 0.0f});
        }
        expected.push_back({"/main/st/mix/fader", 0.0f});
        for (int dca = 1; dca <= 8; ++dca) {
            expected.push_back({"/dca/" + std::to_string(dca) + "/fader", 0.0f});
        }
        for (int bus = 1; bus <= 8; ++bus) {
            expected.push_back({"/bus/" + TwoDigits(bus) + "/mix/fader", 0.0f});
        }
        for (int input = 0; input < 16; ++input) {
            expected.push_back({PreampGain(input), 0.0f});
        }
        expected = Concat(expected, {{"/-stat/chfaderbank", 0.0f},
                                     {"/-stat/chfaderbank", 0.0f},
                                     {"/-stat/chfaderbank", 0.0f},
                                     {"/-stat/grpfaderbank", 0.0f},
                                     {"/-stat/grpfaderbank", 0.0f},
                                     {"/-stat/grpfaderbank", 0.0f}});
        // Each cleared link still copies its odd fader to the even one and sends it.
        const float evenFaders[8] = {0.75f, 0.2f, 0, 0, 0, 0, 0, 0};
        for (int pair = 0; pair < 8; ++pair) {
            const int odd = 1 + 2 * pair;
            expected.push_back({"/config/chlink/" + std::to_string(odd) + "-" + std::to_string(odd + 1), 0.0f});
            expected.push_back({ChannelFader(odd + 1), evenFaders[pair]});
        }
        for (int channel = 1; channel <= 16; ++channel) {
            expected.push_back({ChannelOn(channel), 1.0f});
        }
        expected.push_back({"/main/st/mix/on", 1.0f});
        QCOMPARE(expected.size(), std::size_t{105});

        QCOMPARE(Describe(Received(p.console, expected.size())), Describe(expected));
        // Lines 4 to 79 leave the preamp fields empty and every box clear.
        const QStringList shown{"84=75",  "117=75", "85=75", "118=75", "86=20", "119=20",
                                "120=20", "156=",   "186=",  "67=0",   "204=0"};
        QCOMPARE(Showing(p.program.window, shown), shown);
        QCOMPARE(DisabledControls(p), QList<int>{});
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("Load..."), path}}));
    }

    void loadOfAFileThatCannotBeOpenedChangesNothing_data()
    {
        QTest::addColumn<Unopenable>("kind");
        QTest::newRow("a name that does not exist") << Unopenable::Missing;
        QTest::newRow("a folder") << Unopenable::Folder;
        QTest::newRow("a file in use by another program") << Unopenable::InUse;
        QTest::newRow("an unreadable file") << Unopenable::Unreadable;
    }

    void loadOfAFileThatCannotBeOpenedChangesNothing()
    {
        QFETCH(Unopenable, kind);
        ProgramUnderTest p(61);
        DialogWatcher watcher;
        MakeBusy(p);
        const QString path = p.Folder() + QStringLiteral("/mix.scene");
        int holder = -1;
        switch (kind) {
        case Unopenable::Missing:
            break;
        case Unopenable::Folder:
            // The dialog itself opens a folder rather than return it, so the folder takes the
            // chosen name the moment the dialog accepts it.
            watcher.onAccepted = [](const QString& chosen) { QDir().mkdir(chosen); };
            break;
        case Unopenable::InUse:
            WriteFile(path, SceneFile(kExampleLines));
            holder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(holder >= 0);
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
            break;
        case Unopenable::Unreadable:
            WriteFile(path, SceneFile(kExampleLines));
            QFile::setPermissions(path, QFile::WriteOwner);
            if (::access(QFile::encodeName(path).constData(), R_OK) == 0) {
                QSKIP("the file stays readable for this user (root)");
            }
            break;
        }
        const QStringList before = Snapshot(p);

        LoadFrom(p, path);
        if (holder >= 0) {
            ::close(holder);
        }

        if (kind == Unopenable::Folder) {
            QVERIFY(QFileInfo(path).isDir());
        }
        QCOMPARE(p.answerer.messages.size(), std::size_t{1});
        const SeenMessage& message = p.answerer.messages.front();
        QCOMPARE(message.title, QStringLiteral("Load..."));
        QVERIFY2(message.text.contains(QStringLiteral("could not be opened"), Qt::CaseInsensitive),
                 qPrintable(message.text));
        QVERIFY2(GivesPathAndReason(message.text, path), qPrintable(message.text));
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(Snapshot(p), before);
    }

    void loadCancelledChangesNothing()
    {
        ProgramUnderTest p(62);
        DialogWatcher watcher;
        MakeBusy(p);
        const QStringList before = Snapshot(p);
        p.answerer.CancelFileDialog();

        p.Click(80);

        QCOMPARE(p.answerer.fileDialogTitles, std::vector<QString>{kLoadTitle});
        QCOMPARE(watcher.selectedFilter, QStringLiteral("scene (*.scene)"));
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("Load..."), QString()}}));
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(Snapshot(p), before);
    }

    // --- Reset ----------------------------------------------------------------------------

    void resetSendsSixtyNineMessagesAndZeroesTheWindow()
    {
        ProgramUnderTest p(63);
        const QStringList startUp = Snapshot(p);
        MakeBusy(p);
        QCOMPARE(DisabledControls(p), (QList<int>{4, 87, 120})); // "Link 03-04" is checked

        p.Click(82);

        // No message for the bank and link boxes, "/config/chlink/3-4" included.
        QCOMPARE(Describe(Received(p.console, 69)), Describe(ResetMessages()));
        // Faders and preamps "0", every box clear, channel 04 takes input again.
        QCOMPARE(Snapshot(p), startUp);
        QCOMPARE(p.answerer.messages,
                 (std::vector<SeenMessage>{{QStringLiteral("Reset..."), QStringLiteral("Reset")}}));
        QCOMPARE(p.program.shell.quit, 0);
    }

    void resetFollowsAChangedConfigAndClosesTheOldLink()
    {
        ProgramUnderTest p(64);
        UdpReceiver moved(65);
        WriteFile(p.Folder() + QStringLiteral("/config.ini"), ConfigFor(65));
        const int sockets = OpenSockets();

        p.Click(82);

        QCOMPARE(Describe(Received(moved, 69)), Describe(ResetMessages()));
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(p.program.window.StatusText(), QStringLiteral("IP: 127.0.0.65") + kCredits);
        QCOMPARE(p.program.shell.mixerAddress, QStringLiteral("127.0.0.65"));
        QCOMPARE(OpenSockets(), sockets); // the new link replaced the old one
        QCOMPARE(p.answerer.messages,
                 (std::vector<SeenMessage>{{QStringLiteral("Reset..."), QStringLiteral("Reset")}}));
    }

    void resetWithoutConfigTellsAndEnds()
    {
        ProgramUnderTest p(66);
        MakeBusy(p);
        const QStringList before = Snapshot(p);
        QVERIFY(QFile::remove(p.Folder() + QStringLiteral("/config.ini")));

        p.Click(82);

        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("No config.ini"),
                                                                 QStringLiteral("Please create the config.ini.")}}));
        QCOMPARE(p.program.shell.quit, 1);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(Snapshot(p), before);
    }

    // --- Round trip -----------------------------------------------------------------------

    void savedSceneComesBackAfterAReset()
    {
        ProgramUnderTest p(67);
        TypeAndReturn(p, 117, QStringLiteral("40"));
        TypeAndReturn(p, 119, QStringLiteral("25"));
        TypeAndReturn(p, 133, QStringLiteral("80"));
        TypeAndReturn(p, 143, QStringLiteral("5"));
        TypeAndReturn(p, 156, QStringLiteral("30"));
        TypeAndReturn(p, 160, QString());
        for (const int box : {67, 71, 73, 190, 204}) {
            p.Click(box);
        }
        const QStringList mix = Snapshot(p);
        const QString first = p.Folder() + QStringLiteral("/first.scene");
        const QString second = p.Folder() + QStringLiteral("/second.scene");
        SaveAs(p, first);
        QCOMPARE(ReadFile(first), SceneFile({{1, "40"},
                                             {3, "25"},
                                             {4, "25"},
                                             {17, "80"},
                                             {27, "5"},
                                             {34, "30"},
                                             {36, ""},
                                             {50, "1"},
                                             {54, "1"},
                                             {56, "1"},
                                             {65, "1"},
                                             {79, "1"}}));

        p.Click(82);
        LoadFrom(p, first);
        SaveAs(p, second);

        QCOMPARE(ReadFile(second), ReadFile(first));
        QCOMPARE(Snapshot(p), mix);
    }
};

QTEST_MAIN(SceneTest)
#include "SceneTest.moc"
