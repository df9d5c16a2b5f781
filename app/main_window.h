// The dashboard's one window: a frameless panel shaped by our background
// picture, with the page buttons, Exit and the user manual in its header
// and one page at a time below. It owns the engine and the pages, shows
// what the presenter and the tick hand it (Display), subscribes the chart
// view to the engine's readings and gives the requests their field values
// (RequestFields). It never computes a display text,
// never talks to a port and never blocks.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <memory>

#include "app/engine.h"
#include "app/window_notifier.h"
#include "model/display.h"
#include "protocol/request_fields.h"

class QLabel;
class QToolButton;

namespace quorvel {

class BusyIndicator;
class ChartView;
class PageWidget;
class ImageButton;
class PublisherHost;
class RealTimePage;
class SettingsPage;
class TimerPage;

class MainWindow : public QWidget, public Display, public RequestFields {
  Q_OBJECT

 public:
  enum class Page { kRealTime, kTimer, kSettings };

  // Messages go to `notifier`, or to the window's own message boxes when it
  // is null.
  explicit MainWindow(Notifier* notifier = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Settings, slots, port list and the tick; nothing is opened. Readings
  // are published when the settings file's [Publish] section says so.
  void Start(const Engine::Options& options);

  void ShowPage(Page page);
  // Selects the first listed device and presses its comm button (a demo's screenshot).
  void OpenFirstDevice();
  Page CurrentPage() const { return page_; }

  // Every open device stopped as the user would, saving off, the tick
  // stopped; a second later the files closed and the ports shut down; a
  // second later the window closes. The window keeps painting and can be
  // moved meanwhile; a second Exit does nothing.
  void Exit();
  bool Exiting() const { return exiting_; }
  bool ExitDone() const { return exit_done_; }

  // The window as it looks, with its holes transparent.
  QImage Snapshot();

  Engine& engine() { return *engine_; }
  RealTimePage& RealTime() { return *realtime_; }
  ChartView& Charts() { return *chart_view_; }
  TimerPage& Timers() { return *timer_page_; }
  SettingsPage& SystemSettings() { return *settings_page_; }
  BusyIndicator& Busy() { return *busy_; }
  PublisherHost& Publishing() { return *publisher_host_; }

  // Display
  void ShowClock(const ClockTexts& texts) override;
  void ShowReadings(const ReadingTexts& texts) override;
  void ShowTariff(const TariffTexts& texts) override;
  void ShowHistoryBoxes(const HistoryTexts& texts) override;
  void ShowCo2Factor(const std::string& text) override;
  void ShowLimitAlarm(bool image_shown) override;
  void ShowTimer(int timer, const TimerTexts& texts) override;
  void ShowLimits(const LimitTexts& texts) override;
  void BusyStarted(BusyOperation operation, int total) override;
  void BusyProgress(BusyOperation operation, int done, int total) override;
  void BusyEnded(BusyOperation operation) override;
  void ChartViewHistoryReady(int slot, int month) override;

  // RequestFields
  std::optional<TariffValues> Tariff() override;
  std::optional<LimitValues> Limits() override;
  std::optional<std::int32_t> Co2FactorMilli() override;

 Q_SIGNALS:
  // The window has been painted for the first time.
  void firstPainted();
  void exitFinished();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildHeader();
  void BuildPages();
  void BuildChartView();
  void ConnectEngine();
  void OpenManual();
  void ShutDownPorts();
  void FinishExit();

  std::unique_ptr<WindowNotifier> own_notifier_;
  Notifier* notifier_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<PublisherHost> publisher_host_;  // ends before the engine
  QImage background_;
  QPixmap background_pixmap_;
  bool first_paint_ = true;

  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  ImageButton* realtime_button_ = nullptr;
  ImageButton* timer_button_ = nullptr;
  ImageButton* settings_button_ = nullptr;
  ImageButton* exit_button_ = nullptr;
  ImageButton* manual_button_ = nullptr;
  QToolButton* minimise_button_ = nullptr;
  BusyIndicator* busy_ = nullptr;

  QWidget* page_host_ = nullptr;
  RealTimePage* realtime_ = nullptr;
  TimerPage* timer_page_ = nullptr;
  SettingsPage* settings_page_ = nullptr;
  ChartView* chart_view_ = nullptr;
  Page page_ = Page::kRealTime;

  bool exiting_ = false;
  bool exit_done_ = false;
  bool dragging_ = false;
  QPoint drag_offset_;
};

}  // namespace quorvel
