#include "gui/MainWindow.h"

#include "gui/AboutDialog.h"
#include "gui/Gauge.h"
#include "gui/SaveAllDialog.h"
#include "codecs/GifLzw.h"
#include "codecs/OutputFormats.h"
#include "export/IconFile.h"
#include "core/Error.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>

#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace vextral::gui {

// A source list box read by the harvest run, by position.
class ListWidgetSource final : public SourceList {
public:
    explicit ListWidgetSource(const QListWidget* list) : list_(list) {}
    int count() const override { return list_->count(); }
    std::string at(int index) const override
    {
        const QListWidgetItem* item = list_->item(index);
        return item ? QFile::encodeName(item->text()).toStdString() : std::string();
    }

private:
    const QListWidget* list_;
};

namespace {

constexpr int kDropNameLimit = 255;
constexpr int kSyncMilliseconds = 250;

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

// The file-name part of a path: the text after the last "/".
QString fileNamePart(const std::string& path)
{
    const QString p = QFile::decodeName(path.c_str());
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

Gauge* makeGauge(const QString& name, QWidget* parent)
{
    auto* gauge = new Gauge(parent);
    gauge->setObjectName(name);
    return gauge;
}

QToolButton* makeSpeedButton(const QString& name, const QString& hint, Picture picture, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setIcon(toolbarPicture(picture));
    button->setIconSize(QSize(20, 20));
    button->setAutoRaise(true);
    button->setFixedSize(26, 26);
    return button;
}

} // namespace

MainWindow::MainWindow(Prompts& prompts, std::string programFolder, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), programFolder_(std::move(programFolder))
{
    setObjectName(QStringLiteral("FormVextral"));
    setWindowTitle(applicationTitle());
    setAcceptDrops(true);

    buildPanels();
    fileSource_ = std::make_unique<ListWidgetSource>(lstFile_);
    folderSource_ = std::make_unique<ListWidgetSource>(lstDirectory_);
    HarvestView& view = *this;
    run_ = std::make_unique<HarvestRun>(catalogue_, view, *fileSource_, *folderSource_, [this] { pump(); });
    buildMenus();
    buildToolbar();
    buildStatusBar();
    resize(615, 436);
    codecs::attachLzwCoders(imgIcon_.params());
    formCreate();

    timVextral_ = new QTimer(this);
    timVextral_->setObjectName(QStringLiteral("TimVextral"));
    timVextral_->setInterval(100);
    connect(timVextral_, &QTimer::timeout, this, &MainWindow::timVextralTimer);
    timVextral_->start();
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::addCommand(QMenu* menu, const QString& name, const QString& caption, const QString& hint,
                                void (MainWindow::*handler)(), const QKeySequence& shortcut)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setStatusTip(hint);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    if (handler) connect(action, &QAction::triggered, this, handler);
    menu->addAction(action);
    return action;
}

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();

    QMenu* action = bar->addMenu(QStringLiteral("&Action"));
    menuFolders_ = addCommand(action, QStringLiteral("menuFolders"), QStringLiteral("Extract From &Folders"),
                              QStringLiteral("Extract icons from selected folders"), &MainWindow::tbtDirectoryClick,
                              QKeySequence(QStringLiteral("Ctrl+D")));
    menuFiles_ = addCommand(action, QStringLiteral("menuFiles"), QStringLiteral("Extract From &Files"),
                            QStringLiteral("Extract icons from selected files"), &MainWindow::tbtFileClick,
                            QKeySequence(QStringLiteral("Ctrl+F")));
    for (QAction* a : {menuFolders_, menuFiles_}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    menuStart_ = addCommand(action, QStringLiteral("menuStart"), QStringLiteral("&Start"),
                            QStringLiteral("Start extracting icons"), &MainWindow::tbtSearchClick,
                            QKeySequence(QStringLiteral("Ctrl+B")));
    menuStop_ = addCommand(action, QStringLiteral("menuStop"), QStringLiteral("&Stop"),
                           QStringLiteral("Stop extracting icons"), &MainWindow::menuStopClick);
    action->addSeparator();
    addCommand(action, QStringLiteral("menuExit"), QStringLiteral("&Exit"),
               QString::fromUtf8("\xE9\x80\x80\xE5\x87\xBA\xE5\xBD\x93\xE5\x89\x8D\xE5\xBA\x94\xE7\x94\xA8\xE7\xA8\x8B\xE5\xBA\x8F"),
               &MainWindow::menuExitClick);

    QMenu* icon = bar->addMenu(QStringLiteral("&Icon"));
    addCommand(icon, QStringLiteral("menuSave"), QStringLiteral("&Save"), QStringLiteral("Save selected icon"),
               &MainWindow::menuSaveClick, QKeySequence(QStringLiteral("Ctrl+S")));
    addCommand(icon, QStringLiteral("menuSaveall"), QStringLiteral("Save &all..."), QStringLiteral("Save all icons"),
               &MainWindow::menuSaveallClick);
    addCommand(icon, QStringLiteral("menuPrint"), QStringLiteral("&Print..."), QStringLiteral("Print icon"),
               &MainWindow::menuPrintClick, QKeySequence(QStringLiteral("Ctrl+P")));
    menuClean_ = addCommand(icon, QStringLiteral("menuClean"), QStringLiteral("&Clean"), QStringLiteral("Clean icon list"),
                            &MainWindow::menuCleanClick);
    addCommand(icon, QStringLiteral("menuEdit"), QStringLiteral("&Edit..."), QStringLiteral("Edit selected icon"),
               &MainWindow::menuEditClick, QKeySequence(QStringLiteral("Ctrl+E")));
    addCommand(icon, QStringLiteral("menuRun"), QStringLiteral("Run &Editor"), QStringLiteral("Run icon editor"),
               &MainWindow::menuRunClick, QKeySequence(QStringLiteral("Ctrl+I")));
    icon->addSeparator();
    addCommand(icon, QStringLiteral("menuClipboard"), QStringLiteral("&Copy to Clipboard"),
               QStringLiteral("Copy selected icon to clipboard"), &MainWindow::menuClipboardClick,
               QKeySequence(QStringLiteral("Ctrl+C")));

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    auto* views = new QActionGroup(this);
    menuLargeIcon_ = addCommand(options, QStringLiteral("menuLargeIcon"), QStringLiteral("Large &Icon"),
                                QStringLiteral("View icons as large icon"), &MainWindow::menuLargeIconClick);
    menuList_ = addCommand(options, QStringLiteral("menuList"), QStringLiteral("&List"), QStringLiteral("View icons as list"),
                           &MainWindow::menuListClick);
    for (QAction* a : {menuLargeIcon_, menuList_}) {
        a->setCheckable(true);
        views->addAction(a);
    }
    menuLargeIcon_->setChecked(true);
    options->addSeparator();
    addCommand(options, QStringLiteral("menuOptions"), QStringLiteral("Options..."), QStringLiteral("Change options"),
               &MainWindow::menuOptionsClick, QKeySequence(QStringLiteral("Ctrl+O")));

    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    addCommand(tools, QStringLiteral("menuWebPage"), QStringLiteral("Create Web File..."),
               QStringLiteral("Create a web file to browse icons"), &MainWindow::tbtWebPageClick,
               QKeySequence(QStringLiteral("Ctrl+H")));
    addCommand(tools, QStringLiteral("menuConvert"), QStringLiteral("Convert..."), QStringLiteral("Convert image format"),
               &MainWindow::menuConvertClick);
    addCommand(tools, QStringLiteral("menuFriend"), QStringLiteral("&Share Icons With Friends..."),
               QStringLiteral("Share icons with friends by Email"), &MainWindow::menuFriendClick);
    addCommand(tools, QStringLiteral("menuCapture"), QStringLiteral("Capture Screen..."), QString(),
               &MainWindow::menuCaptureClick);
    addCommand(tools, QStringLiteral("menuCheck"), QStringLiteral("Check for the latest version..."),
               QStringLiteral("Connect to Internet and check for the latest version"), &MainWindow::menuCheckClick,
               QKeySequence(QStringLiteral("Ctrl+U")));
    QMenu* wallpaper = tools->addMenu(QStringLiteral("Set as &Wallpaper"));
    wallpaper->menuAction()->setObjectName(QStringLiteral("menuWallpaper"));
    addCommand(wallpaper, QStringLiteral("menuCentre"), QStringLiteral("&Center"), QStringLiteral("Centre the icon"),
               &MainWindow::menuCentreClick);
    addCommand(wallpaper, QStringLiteral("menuTiled"), QStringLiteral("&Tile"), QStringLiteral("Tile the icon"),
               &MainWindow::menuTiledClick);
    addCommand(wallpaper, QStringLiteral("menuStretch"), QStringLiteral("&Stretch"), QStringLiteral("Stretch the icon"),
               &MainWindow::menuStretchClick);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("menuContents"), QStringLiteral("&Contents"), QStringLiteral("Open help file"),
               &MainWindow::tbtHelpClick, QKeySequence(QStringLiteral("F1")));
    help->addSeparator();
    addCommand(help, QStringLiteral("menuHompage"), QStringLiteral("Vextral Homepage"), QStringLiteral("Vextral Homepage"),
               &MainWindow::menuHompageClick);
    addCommand(help, QStringLiteral("menuEmail"), QStringLiteral("&Email to me"), QStringLiteral("Drop an Email to me"),
               &MainWindow::menuEmailClick);
    help->addSeparator();
    addCommand(help, QStringLiteral("menuAbout"), QStringLiteral("&About..."), QString(), &MainWindow::menuAboutClick);

    // The icon list's pop-up menu. "Save all" and "Print" run the main menu's commands.
    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    addCommand(popupMenu1_, QStringLiteral("popupSave"), QStringLiteral("&Save"), QStringLiteral("Save selected icon"),
               &MainWindow::menuSaveClick);
    addCommand(popupMenu1_, QStringLiteral("popupSaveall"), QStringLiteral("Save &all..."), QStringLiteral("Save all icons"),
               &MainWindow::menuSaveallClick);
    addCommand(popupMenu1_, QStringLiteral("popupEdit"), QStringLiteral("&Edit..."), QStringLiteral("Edit select icon"),
               &MainWindow::menuEditClick);
    addCommand(popupMenu1_, QStringLiteral("popupPrint"), QStringLiteral("&Print..."), QStringLiteral("Print icons"),
               &MainWindow::menuPrintClick);
    addCommand(popupMenu1_, QStringLiteral("popupClipboard"), QStringLiteral("&Copy to Clipboard"),
               QStringLiteral("Copy selected icon to clipboard"), &MainWindow::menuClipboardClick);
    popupMenu1_->addSeparator();
    QMenu* popupWallpaper = popupMenu1_->addMenu(QStringLiteral("&Set as Wallpaper"));
    popupWallpaper->menuAction()->setObjectName(QStringLiteral("popupWallpaper"));
    addCommand(popupWallpaper, QStringLiteral("popupCentre"), QStringLiteral("&Center"), QStringLiteral("Center the icon"),
               &MainWindow::menuCentreClick);
    addCommand(popupWallpaper, QStringLiteral("popupTiled"), QStringLiteral("&Tile"), QStringLiteral("Tile the icon"),
               &MainWindow::menuTiledClick);
    addCommand(popupWallpaper, QStringLiteral("popupStretch"), QStringLiteral("&Stretch"), QStringLiteral("Stretch the icon"),
               &MainWindow::menuStretchClick);
    listIcon_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listIcon_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popupMenu1_->popup(listIcon_->viewport()->mapToGlobal(at)); });
}

QToolButton* MainWindow::addToolButton(const QString& name, const QString& hint, Picture picture,
                                       void (MainWindow::*handler)())
{
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setIcon(toolbarPicture(picture));
    button->setIconSize(QSize(32, 32));
    button->setFixedSize(39, 39);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, handler);
    findChild<QToolBar*>(QStringLiteral("ToolBar1"))->addWidget(button);
    return button;
}

void MainWindow::buildToolbar()
{
    auto* toolbar = new QToolBar(QStringLiteral("Toolbar"), this);
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(32, 32));
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolbar);

    // Five buttons bear names that do not match their commands: the hint and
    // the handler are what count.
    tbtFile_ = addToolButton(QStringLiteral("tbtFile"), QStringLiteral("Extract from files"), Picture::Files,
                             &MainWindow::tbtFileClick);
    tbtDirectory_ = addToolButton(QStringLiteral("tbtDirectory"), QStringLiteral("Extract from folders"),
                                  Picture::Folders, &MainWindow::tbtDirectoryClick);
    for (QToolButton* b : {tbtFile_, tbtDirectory_}) {
        b->setCheckable(true);
        b->setChecked(true);
    }
    tbtSearch_ = addToolButton(QStringLiteral("tbtSearch"), QStringLiteral("Start"), Picture::Start,
                               &MainWindow::tbtSearchClick);
    addToolButton(QStringLiteral("tbtStop"), QStringLiteral("Stop"), Picture::Stop, &MainWindow::menuStopClick);
    toolbar->addSeparator();
    addToolButton(QStringLiteral("tbtSaveall"), QStringLiteral("Save"), Picture::Save, &MainWindow::menuSaveClick);
    addToolButton(QStringLiteral("tbtPrint"), QStringLiteral("Save all"), Picture::SaveAll, &MainWindow::menuSaveallClick);
    addToolButton(QStringLiteral("tbtEdit"), QStringLiteral("Print"), Picture::Print, &MainWindow::menuPrintClick);
    addToolButton(QStringLiteral("tbtCentre"), QStringLiteral("Edit"), Picture::Edit, &MainWindow::menuEditClick);
    addToolButton(QStringLiteral("tbtTile"), QStringLiteral("Options"), Picture::Options, &MainWindow::menuOptionsClick);
    addToolButton(QStringLiteral("tbtConvert"), QStringLiteral("Convert"), Picture::Convert, &MainWindow::menuConvertClick);
    addToolButton(QStringLiteral("tbtCapture"), QStringLiteral("Capture screen"), Picture::Capture,
                  &MainWindow::menuCaptureClick);
    addToolButton(QStringLiteral("tbtFriend"), QStringLiteral("Share Icons With Friends"), Picture::Share,
                  &MainWindow::menuFriendClick);
    addToolButton(QStringLiteral("tbtWebPage"), QStringLiteral("Create a Web Page"), Picture::WebPage,
                  &MainWindow::tbtWebPageClick);
    toolbar->addSeparator();
    addToolButton(QStringLiteral("tbtHelp"), QStringLiteral("Help"), Picture::Help, &MainWindow::tbtHelpClick);
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

    // "Select Folders/Files"
    tabFile_ = new QWidget;
    tabFile_->setObjectName(QStringLiteral("tabFile"));
    auto* files = new QVBoxLayout(tabFile_);
    files->setContentsMargins(4, 4, 4, 4);
    files->setSpacing(2);
    chbDirectory_ = new QCheckBox(QStringLiteral("Scan selected folders"), tabFile_);
    chbDirectory_->setObjectName(QStringLiteral("chbDirectory"));
    chbDirectory_->setChecked(true);
    lstDirectory_ = new QListWidget(tabFile_);
    lstDirectory_->setObjectName(QStringLiteral("lstDirectory"));
    auto* folderButtons = new QHBoxLayout;
    auto* sb1 = makeSpeedButton(QStringLiteral("SpeedButton1"), QStringLiteral("Add a folder"), Picture::AddFolder, tabFile_);
    auto* sb2 = makeSpeedButton(QStringLiteral("SpeedButton2"), QStringLiteral("Delete a folder"), Picture::DeleteFolder, tabFile_);
    auto* sb3 = makeSpeedButton(QStringLiteral("SpeedButton3"), QStringLiteral("Delete all folders"),
                                Picture::DeleteAllFolders, tabFile_);
    for (auto* b : {sb1, sb2, sb3}) folderButtons->addWidget(b);
    folderButtons->addStretch();
    chbFile_ = new QCheckBox(QStringLiteral("Scan selected files"), tabFile_);
    chbFile_->setObjectName(QStringLiteral("chbFile"));
    chbFile_->setChecked(true);
    lstFile_ = new QListWidget(tabFile_);
    lstFile_->setObjectName(QStringLiteral("lstFile"));
    lstFile_->setToolTip(QStringLiteral("Files to scan"));
    lstFile_->setStatusTip(QStringLiteral("Files to scan"));
    auto* fileButtons = new QHBoxLayout;
    auto* sb4 = makeSpeedButton(QStringLiteral("SpeedButton4"), QStringLiteral("Add a file"), Picture::AddFile, tabFile_);
    auto* sb5 = makeSpeedButton(QStringLiteral("SpeedButton5"), QStringLiteral("Delete a file"), Picture::DeleteFile, tabFile_);
    auto* sb6 = makeSpeedButton(QStringLiteral("SpeedButton6"), QStringLiteral("Delete all files"),
                                Picture::DeleteAllFiles, tabFile_);
    for (auto* b : {sb4, sb5, sb6}) fileButtons->addWidget(b);
    fileButtons->addStretch();
    files->addWidget(chbDirectory_);
    files->addWidget(lstDirectory_, 1);
    files->addLayout(folderButtons);
    files->addSpacing(4);
    files->addWidget(chbFile_);
    files->addWidget(lstFile_, 1);
    files->addLayout(fileButtons);
    connect(sb1, &QToolButton::clicked, this, &MainWindow::speedButton1Click);
    connect(sb2, &QToolButton::clicked, this, &MainWindow::speedButton2Click);
    connect(sb3, &QToolButton::clicked, this, &MainWindow::speedButton3Click);
    connect(sb4, &QToolButton::clicked, this, &MainWindow::speedButton4Click);
    connect(sb5, &QToolButton::clicked, this, &MainWindow::speedButton5Click);
    connect(sb6, &QToolButton::clicked, this, &MainWindow::speedButton6Click);
    // A click on a check box moves the other two faces of its switch.
    connect(chbDirectory_, &QCheckBox::toggled, this, &MainWindow::syncFoldersFaces);
    connect(chbFile_, &QCheckBox::toggled, this, &MainWindow::syncFilesFaces);

    // The found-files list: kept for the run, never shown.
    lstIcon_ = new QListWidget(panelFile);
    lstIcon_->setObjectName(QStringLiteral("LstIcon"));
    lstIcon_->hide();

    // "Progress"
    tabProgress_ = new QWidget;
    tabProgress_->setObjectName(QStringLiteral("tabProgress"));
    auto* progress = new QVBoxLayout(tabProgress_);
    progress->setContentsMargins(6, 8, 6, 6);
    progress->setSpacing(4);
    auto addLabel = [&](const QString& text) {
        auto* label = new QLabel(text, tabProgress_);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        progress->addWidget(label);
    };
    auto addStatic = [&](const QString& name, const QString& text) {
        auto* label = new QLabel(text, tabProgress_);
        label->setObjectName(name);
        label->setIndent(8);
        progress->addWidget(label);
        return label;
    };
    addLabel(QStringLiteral("Status:"));
    staSearch_ = addStatic(QStringLiteral("staSearch"), QString());
    progress->addSpacing(6);
    addLabel(QStringLiteral("Found:"));
    staFound_ = addStatic(QStringLiteral("staFound"), QStringLiteral("0"));
    staFile_ = addStatic(QStringLiteral("staFile"), QStringLiteral("Scanned:"));
    staIcon_ = addStatic(QStringLiteral("staIcon"), QStringLiteral("Extracted:"));
    progress->addSpacing(6);
    addLabel(QStringLiteral("Current Progress:"));
    gaugeCurrent_ = makeGauge(QStringLiteral("GaugeCurrent"), tabProgress_);
    progress->addWidget(gaugeCurrent_);
    progress->addSpacing(6);
    addLabel(QStringLiteral("Entire Progress:"));
    gaugeTotal_ = makeGauge(QStringLiteral("GaugeTotal"), tabProgress_);
    progress->addWidget(gaugeTotal_);
    progress->addStretch();

    page1_->addTab(tabFile_, QStringLiteral("Select Folders/Files"));
    page1_->addTab(tabProgress_, QStringLiteral("Progress"));

    // The icon list.
    listIcon_ = new QListView(splitter);
    listIcon_->setObjectName(QStringLiteral("ListIcon"));
    listIcon_->setToolTip(QStringLiteral("Extracted icon list"));
    listIcon_->setStatusTip(QStringLiteral("Extracted icon list"));
    model_ = new IconListModel(catalogue_, this);
    model_->setBackground(listIcon_->palette().color(QPalette::Base));
    listIcon_->setModel(model_);
    listIcon_->setSelectionMode(QAbstractItemView::SingleSelection);
    listIcon_->setUniformItemSizes(true);
    listIcon_->setLayoutMode(QListView::Batched);
    listIcon_->setBatchSize(2000);
    listIcon_->setIconSize(QSize(32, 32));
    listIcon_->setMovement(QListView::Static);
    listIcon_->setResizeMode(QListView::Adjust);
    listIcon_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    menuLargeIconClick();
    connect(listIcon_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                // Every item whose selection changed is shown, the deselected first.
                for (const QModelIndex& i : deselected.indexes()) listIconSelectItem(i.row());
                for (const QModelIndex& i : selected.indexes()) listIconSelectItem(i.row());
            });

    splitter->addWidget(panelFile);
    splitter->addWidget(listIcon_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({187, 615 - 187 - 5});
    setCentralWidget(splitter);
}

void MainWindow::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("status"));
    bar->setSizeGripEnabled(true);
    const int widths[4] = {336, 135, 76, 61};
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel(bar);
        panels_[i]->setObjectName(QStringLiteral("statusPanel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setFixedWidth(widths[i]);
        panels_[i]->setTextFormat(Qt::PlainText);
        bar->addWidget(panels_[i]);
    }
}

// ---- Source lists ----

void MainWindow::speedButton1Click()
{
    const QString folder = prompts_.browseFolder(this, QStringLiteral("Please select a directory to scan."));
    if (!folder.isEmpty()) lstDirectory_->addItem(folder);
}

void MainWindow::speedButton2Click() { delete lstDirectory_->currentItem(); }

void MainWindow::speedButton3Click() { lstDirectory_->clear(); }

void MainWindow::speedButton4Click()
{
    const QStringList filters = {
        QStringLiteral("exe,dll,cpl,scr,icl,ocx,ico,nil,bmp,jpg files (*.exe *.dll *.cpl *.scr *.icl *.ocx *.ico *.nil *.bmp *.jpg)"),
        QStringLiteral("Exe files(*.exe) (*.exe)"), QStringLiteral("Dll files(*.dll) (*.dll)"),
        QStringLiteral("Cpl files(*.cpl) (*.cpl)"), QStringLiteral("Scr files(*.scr) (*.scr)"),
        QStringLiteral("Icl files(*.icl) (*.icl)"), QStringLiteral("Ocx files(*.ocx) (*.ocx)"),
        QStringLiteral("Ico files(*.ico) (*.ico)"), QStringLiteral("Nil files(*.nil) (*.nil)"),
        QStringLiteral("Bmp files(*.bmp) (*.bmp)"), QStringLiteral("Jpg files(*.jpg) (*.jpg)"),
        QStringLiteral("All files(*.*) (*)")};
    const QString file = prompts_.openFile(this, QStringLiteral("Open file"), filters);
    if (!file.isEmpty()) lstFile_->addItem(file);
}

void MainWindow::speedButton5Click() { delete lstFile_->currentItem(); }

void MainWindow::speedButton6Click() { lstFile_->clear(); }

void MainWindow::addDroppedNames(const QStringList& names)
{
    for (const QString& name : names) {
        if (name.size() >= kDropNameLimit || name.isEmpty()) continue;
        const QFileInfo info(name);
        const QString path = info.absoluteFilePath();
        if (info.isFile()) {
            lstFile_->addItem(path);
        } else {
            lstDirectory_->addItem(path);
        }
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e)
{
    QStringList names;
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) names << url.toLocalFile();
    }
    addDroppedNames(names);
    e->acceptProposedAction();
}

// ---- Scan switches ----

void MainWindow::tbtDirectoryClick() { chbDirectory_->setChecked(!chbDirectory_->isChecked()); syncFoldersFaces(); }

void MainWindow::tbtFileClick() { chbFile_->setChecked(!chbFile_->isChecked()); syncFilesFaces(); }

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

void MainWindow::tbtSearchClick()
{
    if (run_->active()) return;
    // Clean would take the list out from under the run, so it waits for the end.
    menuClean_->setEnabled(false);
    run_->start(chbFile_->isChecked(), chbDirectory_->isChecked());
    menuClean_->setEnabled(true);
}

void MainWindow::menuStopClick() { run_->stop(); }

void MainWindow::pump()
{
    if (model_->updating() && sinceSync_.elapsed() >= kSyncMilliseconds) {
        model_->sync();
        sinceSync_.restart();
    }
    QCoreApplication::processEvents();
}

void MainWindow::timVextralTimer()
{
    timVextral_->stop();
    if (lstFile_->count() > 0 || lstDirectory_->count() > 0) tbtSearchClick();
}

void MainWindow::showProgressPage() { page1_->setCurrentWidget(tabProgress_); }
void MainWindow::setStatus(const std::string& text) { staSearch_->setText(fromStd(text)); }
void MainWindow::setFound(const std::string& text) { staFound_->setText(fromStd(text)); }
void MainWindow::setScanned(const std::string& text) { staFile_->setText(fromStd(text)); }
void MainWindow::setExtracted(const std::string& text) { staIcon_->setText(fromStd(text)); }
void MainWindow::setGaugeCurrent(int percent) { gaugeCurrent_->setValue(percent); }
void MainWindow::setGaugeTotal(int percent) { gaugeTotal_->setValue(percent); }
void MainWindow::setStartMenuEnabled(bool enabled) { menuStart_->setEnabled(enabled); }
void MainWindow::setStartButtonEnabled(bool enabled) { tbtSearch_->setEnabled(enabled); }
void MainWindow::setStopMenuEnabled(bool enabled) { menuStop_->setEnabled(enabled); }

void MainWindow::beginIconListUpdate()
{
    model_->beginUpdate();
    model_->sync(); // the emptied list shows at once
    sinceSync_.restart();
}

void MainWindow::endIconListUpdate() { model_->endUpdate(); }
void MainWindow::beginFoundListUpdate() { lstIcon_->setUpdatesEnabled(false); }

void MainWindow::endFoundListUpdate()
{
    lstIcon_->clear();
    for (const std::string& path : run_->foundFiles()) lstIcon_->addItem(QFile::decodeName(path.c_str()));
    lstIcon_->setUpdatesEnabled(true);
}

// ---- The icon list ----

void MainWindow::menuCleanClick()
{
    model_->beginUpdate();
    catalogue_.clearItems();
    model_->endUpdate();
}

void MainWindow::menuLargeIconClick()
{
    listIcon_->setViewMode(QListView::IconMode);
    listIcon_->setFlow(QListView::LeftToRight);
    listIcon_->setWrapping(true);
    listIcon_->setGridSize(QSize(44, 44));
    listIcon_->setSpacing(0);
    if (menuLargeIcon_) menuLargeIcon_->setChecked(true);
}

void MainWindow::menuListClick()
{
    listIcon_->setViewMode(QListView::ListMode);
    listIcon_->setFlow(QListView::TopToBottom);
    listIcon_->setWrapping(true);
    listIcon_->setGridSize(QSize(40, 36));
    if (menuList_) menuList_->setChecked(true);
}

void MainWindow::listIconSelectItem(int i)
{
    if (i < 0 || i >= catalogue_.recordCount()) return;
    const IconRecord& record = catalogue_.record(i);
    panels_[1]->setText(QStringLiteral("Filename:") + fileNamePart(record.sourceFile));
    panels_[2]->setText(QStringLiteral("Index:") + QString::number(record.iconIndex));
    panels_[3]->setText(QStringLiteral("No:") + QString::number(i + 1));
}

void MainWindow::formCreate()
{
    const settings::ProfileFile file(programFolder_ + "/" + settings::kSettingsFileName);
    if (const auto problem = settings_.load(file)) prompts_.error(this, QString::fromStdString(*problem));
    run_->setSettings(settings_);
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

void MainWindow::showHint(const QString& hint) { panels_[0]->setText(hint); }

// ---- Window ----

void MainWindow::menuExitClick() { close(); }

void MainWindow::closeEvent(QCloseEvent* e)
{
    // A run still going ends at its next checkpoint.
    if (run_->active()) run_->stop();
    e->accept();
}

void MainWindow::showDialogDisablingMain(QWidget* dialog)
{
    dialog->installEventFilter(this);
    setEnabled(false);
    dialog->setEnabled(true);
    dialog->show();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::Hide && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
        setEnabled(true);
    }
    return QMainWindow::eventFilter(watched, e);
}

void MainWindow::menuAboutClick() { showDialogDisablingMain(new AboutDialog(this)); }

// ---- Saving ----

int MainWindow::selectedIndex() const
{
    const QModelIndexList selected = listIcon_->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void MainWindow::menuSaveClick()
{
    const int i = selectedIndex();
    if (i < 0 || i >= catalogue_.itemCount()) {
        prompts_.information(this, QStringLiteral("Please select an icon to save."));
        return;
    }
    QStringList filters;
    for (codecs::OutputFormat f : codecs::saveFilterFormats()) filters << QString::fromLatin1(codecs::outputFormat(f).filterEntry);
    const SaveChoice choice =
        prompts_.saveFile(this, QStringLiteral("Save file"), filters, savePictureDefaultExt_, savePictureLastName_);
    if (choice.fileName.isEmpty()) return;
    imgIcon_.setBackground(settings_.background);
    imgIcon_.drawIcon(catalogue_.image(i));
    imgIcon_.params().jpegQuality = settings_.jpegQuality;
    const auto target = codecs::saveFilterChoice(codecs::SaveDialogUser::MainWindow, choice.filterIndex);
    if (target) savePictureDefaultExt_ = QString::fromLatin1(codecs::outputFormat(target->format).extension);
    savePictureLastName_ = choice.fileName;
    if (!target) return;
    try {
        exporting::writeCatalogueIcon(catalogue_, i, imgIcon_, *target, QFile::encodeName(choice.fileName).toStdString());
    } catch (const Error& e) {
        prompts_.error(this, QString::fromStdString(e.what()));
    }
}

void MainWindow::menuSaveallClick()
{
    auto* dialog = new SaveAllDialog(catalogue_, settings_.jpegQuality, prompts_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->adjustSize();
    if (const QScreen* screen = this->screen()) dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    showDialogDisablingMain(dialog);
}

// ---- Commands that later versions add ----

void MainWindow::notAvailable(const QString& command)
{
    prompts_.information(this, QStringLiteral("\"%1\" is not available yet.").arg(command));
}

void MainWindow::menuPrintClick() { notAvailable(QStringLiteral("Print")); }
void MainWindow::menuEditClick() { notAvailable(QStringLiteral("Edit")); }
void MainWindow::menuRunClick() { notAvailable(QStringLiteral("Run Editor")); }
void MainWindow::menuClipboardClick() { notAvailable(QStringLiteral("Copy to Clipboard")); }
void MainWindow::menuOptionsClick() { notAvailable(QStringLiteral("Options")); }
void MainWindow::tbtWebPageClick() { notAvailable(QStringLiteral("Create Web File")); }
void MainWindow::menuConvertClick() { notAvailable(QStringLiteral("Convert")); }
void MainWindow::menuFriendClick() { notAvailable(QStringLiteral("Share Icons With Friends")); }
void MainWindow::menuCaptureClick() { notAvailable(QStringLiteral("Capture Screen")); }
void MainWindow::menuCheckClick() { notAvailable(QStringLiteral("Check for the latest version")); }
void MainWindow::menuCentreClick() { notAvailable(QStringLiteral("Set as Wallpaper: Center")); }
void MainWindow::menuTiledClick() { notAvailable(QStringLiteral("Set as Wallpaper: Tile")); }
void MainWindow::menuStretchClick() { notAvailable(QStringLiteral("Set as Wallpaper: Stretch")); }
void MainWindow::tbtHelpClick() { notAvailable(QStringLiteral("Help")); }
void MainWindow::menuHompageClick() { notAvailable(QStringLiteral("Vextral Homepage")); }
void MainWindow::menuEmailClick() { notAvailable(QStringLiteral("Email to me")); }

} // namespace vextral::gui
