#include "app/main_window.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStackedLayout>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "app/publisher_host.h"
#include "app/user_manual.h"
#include "pages/chart_view.h"
#include "pages/page_widget.h"
#include "pages/realtime_page.h"
#include "pages/settings_page.h"
#include "pages/timer_page.h"
#include "resources/artwork.h"
#include "widgets/busy_indicator.h"
#include "widgets/image_button.h"
#include "widgets/tooltip_style.h"

namespace quorvel {
namespace {

const QSize kWindowSize{1000, 700};
const QRect kPageArea{10, 116, 980, 574};
constexpr int kExitWaitMs = 1000;
constexpr int kHeaderTipPointSize = 14;
const QColor kTitleColour{236, 250, 66};

ImageButton* HeaderButton(const QString& image, const QString& tip, const QColor& tip_colour, int x, QWidget* parent) {
  auto* button = new ImageButton(image, tip, {64, 64}, {72, 72}, parent);
  button->move(x, 24);
  StyleTooltip(button, tip_colour, kHeaderTipPointSize);
  return button;
}

QLabel* TitleLabel(const QString& text, int point_size, bool bold, QRect where, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setPointSize(point_size);
  font.setBold(bold);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, kTitleColour);
  label->setPalette(palette);
  label->setGeometry(where);
  return label;
}

}  // namespace

MainWindow::MainWindow(Notifier* notifier, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      own_notifier_(notifier ? nullptr : std::make_unique<WindowNotifier>(this)),
      notifier_(notifier ? notifier : own_notifier_.get()),
      engine_(std::make_unique<Engine>(*this, *notifier_, *this)) {
  setWindowTitle(QStringLiteral("QUORVEL Digital Dashboard"));
  setWindowIcon(ArtIcon(u"app-icon"));
  setFixedSize(kWindowSize);
  // The background's pure white pixels are holes in the window.
  background_ = ArtImage(u"main-background", kWindowSize, Qt::white);
  // (The offscreen platform has no window shapes; Snapshot cuts the holes itself.)
  if (!background_.isNull() && QGuiApplication::platformName() != QStringLiteral("offscreen")) {
    // The colour mask marks the white pixels with colour 1, which is white in
    // its colour table; a bitmap takes white as clear: the white pixels drop out.
    setMask(QBitmap::fromImage(background_.createMaskFromColor(qRgb(255, 255, 255), Qt::MaskInColor)));
  }
  BuildHeader();
  BuildPages();
  ConnectEngine();
}

MainWindow::~MainWindow() {
  // The publisher says goodbye while the engine it listens to still exists;
  // the engine goes next, while the pages it may still show to exist.
  publisher_host_.reset();
  engine_->disconnect(this);
  engine_->disconnect(chart_view_);
  engine_.reset();
}

void MainWindow::BuildHeader() {
  title_ = TitleLabel(QStringLiteral("QUORVEL"), 22, true, {30, 16, 260, 44}, this);
  subtitle_ = TitleLabel(QStringLiteral("Digital Dashboard"), 15, false, {32, 62, 260, 32}, this);
  realtime_button_ =
      HeaderButton(QStringLiteral("page-realtime"), QStringLiteral("Power Meter Real Time"), kPageTipColour, 340, this);
  timer_button_ =
      HeaderButton(QStringLiteral("page-timer"), QStringLiteral("Power Meter Set"), kPageTipColour, 420, this);
  settings_button_ =
      HeaderButton(QStringLiteral("page-settings"), QStringLiteral("System Set"), kPageTipColour, 500, this);
  exit_button_ = HeaderButton(QStringLiteral("exit"), QStringLiteral("Exit"), kExitTipColour, 600, this);

  manual_button_ =
      new ImageButton(QStringLiteral("user-manual"), QStringLiteral("User manual"), {80, 80}, {88, 88}, this);
  manual_button_->move(858, 16);
  StyleTooltip(manual_button_, kPageTipColour, kHeaderTipPointSize);

  minimise_button_ = new QToolButton(this);
  minimise_button_->setText(QStringLiteral("\u2013"));
  minimise_button_->setToolTip(QStringLiteral("Minimise"));
  minimise_button_->setAccessibleName(QStringLiteral("Minimise"));
  minimise_button_->setGeometry(956, 24, 28, 24);
  minimise_button_->setStyleSheet(
      QStringLiteral("QToolButton { color: #E8F3F1; background: #245A6C; border: 1px solid #2EC4B6; border-radius: 4px;"
                     " font-size: 14pt; font-weight: bold; padding: 0; }"
                     "QToolButton:hover { background: #2EC4B6; color: #0F2C38; }"));

  busy_ = new BusyIndicator(this);
  busy_->setGeometry(688, 30, 156, 48);

  connect(realtime_button_, &ImageButton::clicked, this, [this] { ShowPage(Page::kRealTime); });
  connect(timer_button_, &ImageButton::clicked, this, [this] { ShowPage(Page::kTimer); });
  connect(settings_button_, &ImageButton::clicked, this, [this] { ShowPage(Page::kSettings); });
  connect(exit_button_, &ImageButton::clicked, this, &MainWindow::Exit);
  connect(manual_button_, &ImageButton::clicked, this, &MainWindow::OpenManual);
  connect(minimise_button_, &QToolButton::clicked, this, &QWidget::showMinimized);
}

void MainWindow::BuildPages() {
  page_host_ = new QWidget(this);
  page_host_->setGeometry(kPageArea);
  auto* stack = new QStackedLayout(page_host_);
  stack->setContentsMargins(0, 0, 0, 0);
  realtime_ = new RealTimePage(*engine_, *notifier_, page_host_);
  timer_page_ = new TimerPage(*engine_, page_host_);
  settings_page_ = new SettingsPage(*engine_, page_host_);
  for (PageWidget* page : std::initializer_list<PageWidget*>{realtime_, timer_page_, settings_page_}) {
    stack->addWidget(page);
  }
  stack->setCurrentWidget(realtime_);
  publisher_host_ = std::make_unique<PublisherHost>(*engine_, *notifier_, settings_page_->Publishing());

  connect(realtime_, &RealTimePage::longOperationStarted, busy_, &BusyIndicator::Start);
  connect(timer_page_, &TimerPage::longOperationStarted, busy_, &BusyIndicator::Start);
  BuildChartView();
}

// The chart view, modal over this window while it is open; the messages go
// over it then, so that they are seen.
void MainWindow::BuildChartView() {
  chart_view_ = new ChartView(*engine_, *notifier_, this);
  // The readings the presenter marks for the chart view (it is open, in
  // real-time mode). The engine, and its stream, go before the view.
  engine_->Readings().Subscribe("chart view", [this](const Reading& reading) -> Result<Consumed> {
    if (!reading.use.chart) return Consumed::kSkipped;
    chart_view_->RealTimeSample(reading.slot, reading.values);
    return Consumed::kDone;
  });
  connect(realtime_, &RealTimePage::chartViewRequested, this, [this](int slot) {
    if (own_notifier_) own_notifier_->SetOwner(chart_view_);
    chart_view_->OpenFor(slot);
  });
  connect(chart_view_, &ChartView::savingChanged, realtime_, &RealTimePage::ShowSaveState);
  connect(chart_view_, &QDialog::finished, this, [this] {
    if (own_notifier_) own_notifier_->SetOwner(this);
    // The view may have started or stopped the page's device.
    realtime_->ShowCommState();
    realtime_->ShowSaveState();
  });
}

void MainWindow::ConnectEngine() {
  Engine* engine = engine_.get();
  connect(engine, &Engine::deviceListChanged, realtime_, &RealTimePage::RefreshDeviceBox);
  connect(engine, &Engine::deviceListChanged, chart_view_, &ChartView::DeviceListChanged);
  connect(engine, &Engine::portLost, chart_view_, &ChartView::PortLost);
  connect(engine, &Engine::deviceReturned, chart_view_, &ChartView::DeviceReturned);
  connect(engine, &Engine::selectedDeviceRemoved, realtime_, [this](int) { realtime_->ShowDeviceStopped(); });
  connect(engine, &Engine::portLost, realtime_, [this](int slot) {
    if (slot == engine_->List().SelectedSlot()) realtime_->ShowDeviceStopped();
  });
  // A vanished device that came back is open again: the box lists it and
  // the comm button shows it running.
  connect(engine, &Engine::deviceReturned, realtime_, [this](int slot) {
    realtime_->RefreshDeviceBox();
    if (slot == engine_->List().SelectedSlot()) realtime_->ShowDeviceRunning();
  });
}

void MainWindow::Start(const Engine::Options& options) {
  engine_->Start(options);
  publisher_host_->Start(options.settings_path);
  realtime_->RefreshDeviceBox();
}

void MainWindow::ShowPage(Page page) {
  if (exiting_) return;
  page_ = page;
  PageWidget* shown = realtime_;
  if (page == Page::kTimer) shown = timer_page_;
  if (page == Page::kSettings) shown = settings_page_;
  // The settings page fills itself from the settings and the timer page
  // starts reading the timers before they show.
  shown->Entering();
  static_cast<QStackedLayout*>(page_host_->layout())->setCurrentWidget(shown);
  engine_->SetRealTimePageVisible(page == Page::kRealTime);
}

// --- Exit -----------------------------------------------------------------

void MainWindow::Exit() {
  if (exiting_) return;
  exiting_ = true;
  if (chart_view_->isVisible()) chart_view_->reject();
  // Each open device is stopped through the real-time page, first to last.
  const std::vector<DeviceList::Entry> entries = engine_->List().Entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    realtime_->SelectEntry(static_cast<int>(i));
    if (engine_->IsOpen(entries[i].slot)) realtime_->PressComm();
  }
  page_host_->setEnabled(false);
  for (ImageButton* button : {realtime_button_, timer_button_, settings_button_, exit_button_, manual_button_}) {
    button->setEnabled(false);
  }
  engine_->SetSaving(0, false);
  engine_->StopTick();  // no request is sent from here on
  QTimer::singleShot(kExitWaitMs, this, &MainWindow::ShutDownPorts);
}

void MainWindow::ShutDownPorts() {
  // Files closed, every port told to shut down; the monitors have had a
  // second to end after their devices were stopped. The publisher has told
  // the broker they closed, and says goodbye meanwhile.
  engine_->Shutdown();
  publisher_host_->Stop();
  QTimer::singleShot(kExitWaitMs, this, &MainWindow::FinishExit);
}

void MainWindow::FinishExit() {
  exit_done_ = true;
  busy_->EndAll();
  close();
  Q_EMIT exitFinished();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (exit_done_) {
    event->accept();
    return;
  }
  // The desktop's own close (Alt+F4, the task bar) leaves as Exit does.
  event->ignore();
  Exit();
}

// --- Help -------------------------------------------------------------------

void MainWindow::OpenManual() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const UserManualOpening opening = OpenUserManual();
  QGuiApplication::restoreOverrideCursor();
  const std::string message = UserManualMessage(opening);
  if (!message.empty()) notifier_->Notify(Notice{"", message});
}

void MainWindow::OpenFirstDevice() {
  if (engine_->List().Entries().empty()) return;
  realtime_->SelectEntry(0);
  if (!engine_->IsOpen(engine_->List().SelectedSlot())) realtime_->PressComm();
}

// --- Look and moving ----------------------------------------------------------

QImage MainWindow::Snapshot() {
  QImage shot = grab().toImage().convertToFormat(QImage::Format_ARGB32);
  if (background_.isNull()) return shot;
  const QRgb hole = qRgb(255, 255, 255);
  for (int y = 0; y < shot.height() && y < background_.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(shot.scanLine(y));
    const auto* shape = reinterpret_cast<const QRgb*>(background_.constScanLine(y));
    for (int x = 0; x < shot.width() && x < background_.width(); ++x) {
      if ((shape[x] | 0xFF000000U) == hole) line[x] = 0;
    }
  }
  return shot;
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!background_.isNull()) {
    const qreal ratio = devicePixelRatioF();
    if (background_pixmap_.isNull() || background_pixmap_.devicePixelRatio() != ratio) {
      background_pixmap_ = ArtPixmap(u"main-background", kWindowSize, ratio);
    }
    painter.drawPixmap(0, 0, background_pixmap_);
  }
  if (first_paint_) {
    first_paint_ = false;
    QTimer::singleShot(0, this, &MainWindow::firstPainted);
  }
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // Anywhere on the background moves the window: the desktop's own move
  // where it offers one, else by hand.
  if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - drag_offset_);
}

void MainWindow::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

// --- Display ------------------------------------------------------------------

void MainWindow::ShowClock(const ClockTexts& texts) { realtime_->ShowClock(texts); }
void MainWindow::ShowReadings(const ReadingTexts& texts) { realtime_->ShowReadings(texts); }
void MainWindow::ShowTariff(const TariffTexts& texts) { realtime_->ShowTariff(texts); }
void MainWindow::ShowHistoryBoxes(const HistoryTexts& texts) { realtime_->ShowHistoryBoxes(texts); }
void MainWindow::ShowCo2Factor(const std::string& text) { realtime_->ShowCo2Factor(text); }
void MainWindow::ShowLimitAlarm(bool image_shown) { realtime_->ShowLimitAlarm(image_shown); }
void MainWindow::ShowTimer(int timer, const TimerTexts& texts) { timer_page_->ShowTimer(timer, texts); }
void MainWindow::ShowLimits(const LimitTexts& texts) { settings_page_->ShowLimits(texts); }
// A history read that the chart view waits for shows its progress there,
// over this window.
void MainWindow::BusyStarted(BusyOperation operation, int total) {
  if (operation == BusyOperation::kHistoryRead && chart_view_->HistoryProgress(0, total)) return;
  busy_->Start(operation, total);
}
void MainWindow::BusyProgress(BusyOperation operation, int done, int total) {
  if (operation == BusyOperation::kHistoryRead && chart_view_->HistoryProgress(done, total)) return;
  busy_->Progress(operation, done, total);
}
void MainWindow::BusyEnded(BusyOperation operation) {
  if (operation == BusyOperation::kHistoryRead) chart_view_->HistoryReadEnded();
  busy_->End(operation);
}
void MainWindow::ChartViewHistoryReady(int slot, int month) { chart_view_->HistoryReady(slot, month); }

// --- RequestFields ---------------------------------------------------------------

std::optional<TariffValues> MainWindow::Tariff() { return realtime_->TariffRequest(); }

std::optional<LimitValues> MainWindow::Limits() { return settings_page_->LimitRequest(); }

std::optional<std::int32_t> MainWindow::Co2FactorMilli() { return realtime_->Co2FactorRequest(); }

}  // namespace quorvel
