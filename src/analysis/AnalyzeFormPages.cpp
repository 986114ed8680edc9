// The wizard's window as designed: its frame, its three pages and their
// controls with their built-in (Danish) texts and first states.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include "analysis/AnalyzeForm.h"
#include "language/TranslationTable.h"
#include "registry/CommandDispatch.h"

namespace vornak::analysis {
namespace {

constexpr int kClientWidth = 504;
constexpr int kClientHeight = 368;
constexpr int kMargin = 16;
constexpr int kTextWidth = kClientWidth - 2 * kMargin;
constexpr int kButtonTop = 330;
constexpr int kButtonHeight = 25;
constexpr int kButtonWidth = 100;

// The window's own title is the target without a control.
QString builtIn(const char* control, int column = 0) {
    const std::string_view text = builtInText(window::kWizard, control, column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <class T>
T* named(T* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* label(QWidget* page, const char* name, const QRect& geometry, bool wrapped = false) {
    auto* text = named(new QLabel(builtIn(name), page), name, geometry);
    text->setWordWrap(wrapped);
    text->setAlignment(Qt::AlignLeft | (wrapped ? Qt::AlignTop : Qt::AlignVCenter));
    return text;
}

QLabel* heading(QWidget* page, const char* name) {
    QLabel* text = label(page, name, {kMargin, 12, kTextWidth, 20});
    QFont bold = text->font();
    bold.setBold(true);
    text->setFont(bold);
    return text;
}

QLabel* value(QWidget* page, const char* name, int top) {
    return named(new QLabel(QStringLiteral("0"), page), name, {200, top, 120, 18});
}

QPushButton* button(QWidget* page, const char* name, const QRect& geometry) {
    auto* b = named(new QPushButton(builtIn(name), page), name, geometry);
    // Enter in the wizard must not press a button the user did not choose.
    b->setAutoDefault(false);
    return b;
}

QRect bottomLeft(int width = kButtonWidth) {
    return {kMargin, kButtonTop, width, kButtonHeight};
}
QRect bottomRight(int width = kButtonWidth) {
    return {kClientWidth - kMargin - width, kButtonTop, width, kButtonHeight};
}

}  // namespace

TAnalyzeForm::TAnalyzeForm(platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs) {
    setObjectName(
        QString::fromUtf8(window::kWizard.data(), static_cast<qsizetype>(window::kWizard.size())));
    setWindowTitle(builtIn(""));
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(13);
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);

    pages_ = named(new QStackedWidget(this), "PageControl1", rect());
    const char* const pageNames[] = {"TabSheet1", "TabSheet2", "TabSheet3"};
    for (const char* name : pageNames) {
        auto* page = new QWidget(pages_);
        page->setObjectName(QString::fromLatin1(name));
        pages_->addWidget(page);
    }
    buildWelcomePage(pages_->widget(0));
    buildAnalysisPage(pages_->widget(1));
    buildRemovalPage(pages_->widget(2));

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, [this] { run(&TAnalyzeForm::Timer1Timer); });
    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(500);
    connect(timer2_, &QTimer::timeout, this, [this] { run(&TAnalyzeForm::Timer2Timer); });
}

void TAnalyzeForm::buildWelcomePage(QWidget* page) {
    heading(page, "Label1");
    label(page, "Label2", {kMargin, 44, kTextWidth, 70}, true);
    label(page, "Label3", {kMargin, 130, kTextWidth, 20});
    rbAnalyze_ = named(new QRadioButton(builtIn("rbAnalyze"), page), "rbAnalyze",
                       {kMargin + 16, 158, kTextWidth - 16, 22});
    rbUninstall_ = named(new QRadioButton(builtIn("rbUninstall"), page), "rbUninstall",
                         {kMargin + 16, 184, kTextWidth - 16, 22});
    rbAnalyze_->setChecked(true);
    auto* next = button(page, "btnNext_01", bottomRight());
    auto* cancel = button(page, "btnCancel_01", bottomLeft());
    connect(next, &QPushButton::clicked, this, [this] { run(&TAnalyzeForm::btnNext_01Click); });
    connect(cancel, &QPushButton::clicked, this, [this] { run(&TAnalyzeForm::btnCancel_01Click); });
}

void TAnalyzeForm::buildAnalysisPage(QWidget* page) {
    heading(page, "Label4");
    label(page, "Label5", {kMargin, 36, kTextWidth, 84}, true);
    drives_ = named(new QTreeWidget(page), "lsvDrives", {kMargin, 124, kTextWidth, 100});
    drives_->setColumnCount(1);
    drives_->setHeaderLabels({builtIn("lsvDrives", 0)});
    drives_->setColumnWidth(0, 450);
    drives_->setRootIsDecorated(false);
    drives_->setSelectionMode(QAbstractItemView::SingleSelection);
    drives_->header()->setStretchLastSection(false);

    label(page, "Label6", {kMargin, 232, 184, 18});
    filesFound_ = value(page, "Label8", 232);
    label(page, "Label7", {kMargin, 252, 184, 18});
    registryFound_ = value(page, "Label9", 252);
    label(page, "Label10", {kMargin, 272, 184, 18});
    seconds_ = value(page, "Label11", 272);
    comparing_ = label(page, "Label12", {kMargin, 296, kTextWidth, 20});
    QPalette red = comparing_->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    comparing_->setPalette(red);
    comparing_->setVisible(false);

    cancel2_ = button(page, "btnCancel_02", bottomLeft());
    go1_ = button(page, "btnGo1",
                  {kClientWidth - kMargin - 2 * 160 - 8, kButtonTop, 160, kButtonHeight});
    go2_ = button(page, "btnGo2", bottomRight(160));
    go2_->setEnabled(false);
    connect(cancel2_, &QPushButton::clicked, this,
            [this] { run(&TAnalyzeForm::btnCancel_01Click); });
    connect(go1_, &QPushButton::clicked, this, [this] { run(&TAnalyzeForm::btnGo1Click); });
    connect(go2_, &QPushButton::clicked, this, [this] { run(&TAnalyzeForm::btnGo2Click); });
}

void TAnalyzeForm::buildRemovalPage(QWidget* page) {
    heading(page, "Label13");
    label(page, "Label14", {kMargin, 34, kTextWidth, 34}, true);
    logs_ = named(new QListWidget(page), "ListBox1", {kMargin, 70, kTextWidth, 76});
    logs_->setSelectionMode(QAbstractItemView::SingleSelection);
    label(page, "Label15", {kMargin, 150, kTextWidth, 18});
    const char* const boxes[] = {"CheckBox1", "CheckBox2", "CheckBox3"};
    for (int i = 0; i < 3; ++i)
        confirm_[i] = named(new QCheckBox(builtIn(boxes[i]), page), boxes[i],
                            {kMargin, 170 + 20 * i, kTextWidth, 20});
    memLog_ = named(new QPlainTextEdit(page), "memLog", {kMargin, 234, kTextWidth, 88});
    memLog_->setReadOnly(true);
    memLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette tip = memLog_->palette();
    tip.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
    tip.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
    memLog_->setPalette(tip);

    // The check box between the two buttons needs all the room there is.
    constexpr int kNarrow = 80;
    constexpr int kEdge = 8;
    auto* cancel = button(page, "btnCancel_03", {kEdge, kButtonTop, kNarrow, kButtonHeight});
    auto* uninstall = button(page, "btnUninstall",
                             {kClientWidth - kEdge - kNarrow, kButtonTop, kNarrow, kButtonHeight});
    noQuestions_ =
        named(new QCheckBox(builtIn("CheckBox4"), page), "CheckBox4",
              {kEdge + kNarrow + 6, kButtonTop + 2, kClientWidth - 2 * (kEdge + kNarrow + 6), 20});
    connect(cancel, &QPushButton::clicked, this, [this] { run(&TAnalyzeForm::btnCancel_01Click); });
    connect(uninstall, &QPushButton::clicked, this,
            [this] { run(&TAnalyzeForm::btnUninstallClick); });
}

void TAnalyzeForm::run(void (TAnalyzeForm::*handler)()) {
    runCommand(dialogs_, [this, handler] { (this->*handler)(); });
}

void TAnalyzeForm::setTimerIntervals(int timer1Ms, int timer2Ms) {
    timer1_->setInterval(timer1Ms);
    timer2_->setInterval(timer2Ms);
}

}  // namespace vornak::analysis
