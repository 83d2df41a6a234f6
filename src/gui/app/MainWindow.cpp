#include "gui/app/MainWindow.h"

#include "core/FileName.h"
#include "gui/app/CommandTable.h"
#include "gui/app/ProgressPage.h"
#include "gui/app/StatusPanels.h"
#include "gui/app/WindowMemory.h"
#include "gui/iconlist/IconBrowser.h"
#include "gui/iconlist/IconPictures.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace vextral::gui {

namespace {

constexpr int kDropNameLimit = 255;
constexpr int kSyncMilliseconds = 250;
// The run pumps after every folder entry and every icon; handling the
// window's events that often costs more than the work between (a folder
// search visits a hundred thousand entries a second). Events are handled
// when this much time has passed, which keeps Stop, painting and input as
// prompt as a person can tell.
constexpr int kPumpMilliseconds = 8;

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

// One of the small buttons under a source list.
struct SourceButton {
    const char* name;
    const char* hint;
    Picture picture;
    void (HarvestCommands::*command)();
};

constexpr SourceButton kFolderButtons[] = {
    {"SpeedButton1", "Add a folder", Picture::AddFolder, &HarvestCommands::addFolder},
    {"SpeedButton2", "Delete a folder", Picture::DeleteFolder, &HarvestCommands::deleteSelectedFolder},
    {"SpeedButton3", "Delete all folders", Picture::DeleteAllFolders, &HarvestCommands::deleteAllFolders},
};
constexpr SourceButton kFileButtons[] = {
    {"SpeedButton4", "Add a file", Picture::AddFile, &HarvestCommands::addFile},
    {"SpeedButton5", "Delete a file", Picture::DeleteFile, &HarvestCommands::deleteSelectedFile},
    {"SpeedButton6", "Delete all files", Picture::DeleteAllFiles, &HarvestCommands::deleteAllFiles},
};

// A row of buttons that run their commands, to go under a source list.
template <std::size_t N>
QHBoxLayout* sourceButtons(const SourceButton (&buttons)[N], HarvestCommands& commands, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    for (const SourceButton& b : buttons) {
        auto* button = new QToolButton(parent);
        button->setObjectName(QLatin1String(b.name));
        button->setToolTip(QLatin1String(b.hint));
        button->setStatusTip(QLatin1String(b.hint));
        button->setAccessibleName(QLatin1String(b.hint));
        button->setIcon(toolbarPicture(b.picture));
        button->setIconSize(QSize(20, 20));
        button->setAutoRaise(true);
        button->setFixedSize(26, 26);
        QObject::connect(button, &QToolButton::clicked, button,
                         [&commands, command = b.command] { (commands.*command)(); });
        row->addWidget(button);
    }
    row->addStretch();
    return row;
}

} // namespace

MainWindow::MainWindow(Prompts& prompts, std::string programFolder, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), programFolder_(std::move(programFolder)), savePicture_(prompts),
      dialogs_(new DialogHost(this)), harvestCommands_(*this), saveCommands_(*this), iconListCommands_(*this),
      programCommands_(*this), desktopCommands_(*this), toolCommands_(*this)
{
    setObjectName(QStringLiteral("FormVextral"));
    setWindowTitle(applicationTitle());
    setAcceptDrops(true);

    buildPanels();
    fileSource_ = std::make_unique<ListWidgetSource>(lstFile_);
    folderSource_ = std::make_unique<ListWidgetSource>(lstDirectory_);
    runFactory_ = [](IconCatalogue& catalogue, HarvestView& view, const SourceList& files, const SourceList& folders,
                     HarvestRun::Pump pump) {
        return std::make_unique<HarvestRun>(catalogue, view, files, folders, std::move(pump));
    };
    makeRun();
    buildCommands();
    statusPanels_ = new StatusPanels(statusBar());
    memory_ = std::make_unique<WindowMemory>(*this, *this);
    memory_->restore();
    loadSettings();

    timVextral_ = new QTimer(this);
    timVextral_->setObjectName(QStringLiteral("TimVextral"));
    timVextral_->setInterval(100);
    connect(timVextral_, &QTimer::timeout, this, &MainWindow::startFromArguments);
    timVextral_->start();
}

MainWindow::~MainWindow() = default;

template <typename T>
T* MainWindow::control(const char* name) const
{
    T* found = findChild<T*>(QLatin1String(name));
    if (!found) throw std::logic_error(std::string("the command table has no ") + name);
    return found;
}

void MainWindow::buildCommands()
{
    popupMenu1_ = gui::buildCommands(*this, mainCommandRows({harvestCommands_, saveCommands_, iconListCommands_,
                                                             programCommands_, desktopCommands_, toolCommands_}));
    menuFolders_ = control<QAction>("menuFolders");
    menuFiles_ = control<QAction>("menuFiles");
    menuStart_ = control<QAction>("menuStart");
    menuStop_ = control<QAction>("menuStop");
    menuClean_ = control<QAction>("menuClean");
    menuLargeIcon_ = control<QAction>("menuLargeIcon");
    menuList_ = control<QAction>("menuList");
    menuDetails_ = control<QAction>("menuDetails");
    // Stop (and its Escape key) has something to stop only while a run goes.
    menuStop_->setEnabled(false);
    tbtFile_ = control<QToolButton>("tbtFile");
    tbtDirectory_ = control<QToolButton>("tbtDirectory");
    tbtSearch_ = control<QToolButton>("tbtSearch");
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(listIcon_), static_cast<QAbstractItemView*>(browser_->detailsView())}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& at) { popupMenu1_->popup(view->viewport()->mapToGlobal(at)); });
    }
}

void MainWindow::buildPanels()
{
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(5);
    splitter->setChildrenCollapsible(false);

    auto* panelFile = new QWidget(splitter);
    panelFile->setObjectName(QStringLiteral("PanelFile"));
    auto* panelLayout = new QVBoxLayout(panelFile);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    page1_ = new QTabWidget(panelFile);
    page1_->setObjectName(QStringLiteral("Page1"));
    // Both tab texts fit the panel's width, as they do on the desktop the layout was made for.
    QFont tabFont = page1_->font();
    tabFont.setPointSizeF(tabFont.pointSizeF() * 0.85);
    page1_->tabBar()->setFont(tabFont);
    page1_->tabBar()->setUsesScrollButtons(false);
    page1_->tabBar()->setElideMode(Qt::ElideNone);
    panelLayout->addWidget(page1_);

    // The found-files list: kept for the run, never shown.
    lstIcon_ = new QListWidget(panelFile);
    lstIcon_->setObjectName(QStringLiteral("LstIcon"));
    lstIcon_->setAccessibleName(QStringLiteral("Found files"));
    lstIcon_->hide();

    page1_->addTab(buildSourcePage(), QStringLiteral("Select Folders/Files"));
    progressPage_ = new ProgressPage;
    page1_->addTab(progressPage_, QStringLiteral("Progress"));
    buildIconList(splitter);

    splitter->addWidget(panelFile);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({187, 615 - 187 - 5});
    setCentralWidget(splitter);
}

// "Select Folders/Files": the two source lists with their switches and buttons.
QWidget* MainWindow::buildSourcePage()
{
    tabFile_ = new QWidget;
    tabFile_->setObjectName(QStringLiteral("tabFile"));
    auto* files = new QVBoxLayout(tabFile_);
    files->setContentsMargins(4, 4, 4, 4);
    files->setSpacing(2);
    chbDirectory_ = new QCheckBox(QStringLiteral("Scan selected fol&ders"), tabFile_);
    chbDirectory_->setObjectName(QStringLiteral("chbDirectory"));
    chbDirectory_->setChecked(true);
    lstDirectory_ = new QListWidget(tabFile_);
    lstDirectory_->setObjectName(QStringLiteral("lstDirectory"));
    lstDirectory_->setAccessibleName(QStringLiteral("Folders to scan"));
    chbFile_ = new QCheckBox(QStringLiteral("Scan selected fi&les"), tabFile_);
    chbFile_->setObjectName(QStringLiteral("chbFile"));
    chbFile_->setChecked(true);
    lstFile_ = new QListWidget(tabFile_);
    lstFile_->setObjectName(QStringLiteral("lstFile"));
    lstFile_->setToolTip(QStringLiteral("Files to scan"));
    lstFile_->setStatusTip(QStringLiteral("Files to scan"));
    lstFile_->setAccessibleName(QStringLiteral("Files to scan"));
    files->addWidget(chbDirectory_);
    files->addWidget(lstDirectory_, 1);
    files->addLayout(sourceButtons(kFolderButtons, harvestCommands_, tabFile_));
    files->addSpacing(4);
    files->addWidget(chbFile_);
    files->addWidget(lstFile_, 1);
    files->addLayout(sourceButtons(kFileButtons, harvestCommands_, tabFile_));
    // The Delete key deletes the selected entry, as the list's delete button does.
    lstDirectory_->installEventFilter(this);
    lstFile_->installEventFilter(this);
    // Every change of a check box moves the other two faces of its switch.
    connect(chbDirectory_, &QCheckBox::toggled, this, &MainWindow::syncFoldersFaces);
    connect(chbFile_, &QCheckBox::toggled, this, &MainWindow::syncFilesFaces);
    return tabFile_;
}

void MainWindow::buildIconList(QWidget* parent)
{
    browser_ = new IconBrowser(catalogue_, parent);
    model_ = &browser_->model();
    listIcon_ = browser_->listView();
    connect(browser_, &IconBrowser::iconShown, this, &MainWindow::showIconRecord);
}

// ---- Source lists ----

QStringList MainWindow::addDroppedNames(const QStringList& names)
{
    QStringList added;
    for (const QString& name : names) {
        if (name.size() >= kDropNameLimit || name.isEmpty()) continue;
        const QFileInfo info(name);
        const QString path = info.absoluteFilePath();
        addSourceEntry(info.isFile() ? *lstFile_ : *lstDirectory_, path);
        added << path;
    }
    return added;
}

void MainWindow::noteRecentSource(const QString& path) { memory_->noteRecent(path); }

void MainWindow::dragEnterEvent(QDragEnterEvent* e)
{
    // Icons dragged out of the list are for other programs: dropped back here they do nothing.
    if (e->source()) {
        e->ignore();
        return;
    }
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e)
{
    if (e->source()) {
        e->ignore();
        return;
    }
    QStringList names;
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) names << url.toLocalFile();
    }
    for (const QString& path : addDroppedNames(names)) noteRecentSource(path);
    e->acceptProposedAction();
}

void MainWindow::syncFoldersFaces()
{
    tbtDirectory_->setChecked(chbDirectory_->isChecked());
    menuFolders_->setChecked(chbDirectory_->isChecked());
}

void MainWindow::syncFilesFaces()
{
    tbtFile_->setChecked(chbFile_->isChecked());
    menuFiles_->setChecked(chbFile_->isChecked());
}

// ---- The run ----

void MainWindow::makeRun()
{
    HarvestView& view = *this;
    run_ = runFactory_(catalogue_, view, *fileSource_, *folderSource_, [this] { pump(); });
    run_->setSettings(settings_);
}

void MainWindow::setRunFactory(RunFactory factory)
{
    if (run_->active()) throw std::logic_error("the harvest run cannot be replaced while it runs");
    runFactory_ = std::move(factory);
    makeRun();
}

void MainWindow::recoverFromFailedRun()
{
    if (iconListUpdating_) endIconListUpdate();
    if (foundListUpdating_) endFoundListUpdate();
    setStartMenuEnabled(true);
    setStartButtonEnabled(true);
    // The failed run still counts itself active and would refuse every later start.
    makeRun();
}

void MainWindow::setCleanEnabled(bool enabled) { menuClean_->setEnabled(enabled); }

void MainWindow::pump()
{
    if (sincePump_.isValid() && sincePump_.elapsed() < kPumpMilliseconds) return;
    sincePump_.start();
    if (model_->updating() && sinceSync_.elapsed() >= kSyncMilliseconds) {
        model_->sync();
        sinceSync_.restart();
    }
    QCoreApplication::processEvents();
}

void MainWindow::startFromArguments()
{
    timVextral_->stop();
    // Names given on the command line are harvested; without them the lists
    // of the last session come back, to be harvested when the user says.
    if (lstFile_->count() > 0 || lstDirectory_->count() > 0) {
        harvestCommands_.startHarvest();
    } else {
        memory_->restoreSourceLists();
    }
}

void MainWindow::showProgressPage() { page1_->setCurrentWidget(progressPage_); }
void MainWindow::setStatus(const std::string& text) { progressPage_->setStatus(fromStd(text)); }
void MainWindow::setFound(const std::string& text) { progressPage_->setFound(fromStd(text)); }
void MainWindow::setScanned(const std::string& text) { progressPage_->setScanned(fromStd(text)); }
void MainWindow::setExtracted(const std::string& text) { progressPage_->setExtracted(fromStd(text)); }
void MainWindow::setGaugeCurrent(int percent) { progressPage_->setGaugeCurrent(percent); }
void MainWindow::setGaugeTotal(int percent) { progressPage_->setGaugeTotal(percent); }
void MainWindow::setStartMenuEnabled(bool enabled) { menuStart_->setEnabled(enabled); }
void MainWindow::setStartButtonEnabled(bool enabled) { tbtSearch_->setEnabled(enabled); }
void MainWindow::setStopMenuEnabled(bool enabled) { menuStop_->setEnabled(enabled); }

void MainWindow::beginIconListUpdate()
{
    // A harvest the user started before the start-up timer fired makes the
    // timer's own start needless: it would only harvest the lists again.
    timVextral_->stop();
    iconListUpdating_ = true;
    statusPanels_->clearIcon(); // the selection is gone with the list
    model_->beginUpdate();
    model_->sync(); // the emptied list shows at once
    sinceSync_.restart();
}

void MainWindow::endIconListUpdate()
{
    iconListUpdating_ = false;
    model_->endUpdate();
}

void MainWindow::beginFoundListUpdate()
{
    foundListUpdating_ = true;
    lstIcon_->setUpdatesEnabled(false);
}

void MainWindow::endFoundListUpdate()
{
    foundListUpdating_ = false;
    lstIcon_->clear();
    for (const std::string& path : run_->foundFiles()) lstIcon_->addItem(QFile::decodeName(path.c_str()));
    lstIcon_->setUpdatesEnabled(true);
}

// ---- The icon list ----

void MainWindow::cleanIconList()
{
    // Every feature sees the list as the user does: empty.
    // Its memory goes back to the system.
    model_->beginUpdate();
    catalogue_.release();
    model_->endUpdate();
    browser_->pictures().clear();
    statusPanels_->clearIcon();
}

void MainWindow::showIcons(IconLayout layout)
{
    browser_->setIconLayout(layout);
    // The menu's radio items exist once the command table is built.
    QAction* item = layout == IconLayout::LargeIcon ? menuLargeIcon_
                    : layout == IconLayout::List    ? menuList_
                                                    : menuDetails_;
    if (item) item->setChecked(true);
}

IconLayout MainWindow::iconLayout() const { return browser_->iconLayout(); }
int MainWindow::iconZoom() const { return browser_->zoom(); }
void MainWindow::setIconZoom(int side) { browser_->setZoom(side); }
void MainWindow::focusIconFilter() { browser_->focusFilter(); }
QString MainWindow::handOutFolder() { return browser_->handOutFolder(); }

int MainWindow::selectedIndex() const { return browser_->selectedIndex(); }
std::vector<int> MainWindow::selectedPositions() const { return browser_->selectedPositions(); }
std::vector<int> MainWindow::shownPositions() const { return browser_->shownPositions(); }

void MainWindow::showIconRecord(int i)
{
    if (i < 0 || i >= catalogue_.recordCount()) return;
    const IconRecord& record = catalogue_.record(i);
    statusPanels_->showIcon(QFile::decodeName(fileNamePart(record.sourceFile).c_str()), record.iconIndex, i + 1);
}

std::string MainWindow::settingsPath() const { return programFolder_ + "/" + settings::kSettingsFileName; }

void MainWindow::loadSettings()
{
    const settings::ProfileFile file(settingsPath());
    if (const auto problem = settings_.load(file)) prompts_.error(this, QString::fromStdString(*problem));
    run_->setSettings(settings_);
    if (auto* best = findChild<QAction*>(QStringLiteral("menuBestImage"))) best->setChecked(settings_.bestImage);
    if (auto* unique = findChild<QAction*>(QStringLiteral("menuUnique"))) unique->setChecked(settings_.unique);
    if (auto* clear = findChild<QAction*>(QStringLiteral("menuTransparent"))) clear->setChecked(settings_.transparent);
    if (auto* cursors = findChild<QAction*>(QStringLiteral("menuCursors"))) cursors->setChecked(settings_.cursors);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e)
{
    const auto* key = e->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(e) : nullptr;
    if (key && key->key() == Qt::Key_Delete && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (watched == lstDirectory_) {
            harvestCommands_.deleteSelectedFolder();
            return true;
        }
        if (watched == lstFile_) {
            harvestCommands_.deleteSelectedFile();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---- Hints ----

bool MainWindow::event(QEvent* e)
{
    if (e->type() == QEvent::StatusTip) {
        showHint(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void MainWindow::showHint(const QString& hint) { statusPanels_->showHint(hint); }

// ---- Window ----

void MainWindow::closeEvent(QCloseEvent* e)
{
    // A run still going ends at its next checkpoint.
    if (run_->active()) run_->stop();
    memory_->save();
    e->accept();
}

} // namespace vextral::gui
