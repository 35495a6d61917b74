#pragma once
// A media player component: a media device and its bar of nine buttons (Play, Pause, Stop, Next,
// Prev, Step, Back, Record, Eject). The widget is the bar. A player with a Display draws its
// video on that widget, above the bar when the bar is one of its children.
//
// The bar's buttons run the device operation of the same name and grey themselves after the
// device's capabilities and the last press; the program's own calls leave the bar as it is,
// and a completion notice that finds the device stopped gives it the stopped look. A greyed
// button still runs its operation when pressed: the look never blocks a press. An error a
// press raises goes to the error handler, never out into the event loop.

#include "base/errors.h"
#include "media/buttonlook.h"
#include "media/mediadevice.h"
#include "media/mediatypes.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class TMPButton;
class TVideoPicture;

class TMediaPlayer : public QWidget {
    Q_OBJECT
public:
    using ErrorHandler = std::function<void(const EPainelError&)>;

    explicit TMediaPlayer(QWidget* parent = nullptr);
    ~TMediaPlayer() override;  // closes an open device

    const QString& FileName() const { return m_device.FileName(); }
    void setFileName(const QString& path) { m_device.setFileName(path); }
    bool AutoRewind() const { return m_device.AutoRewind(); }
    void setAutoRewind(bool on) { m_device.setAutoRewind(on); }
    // The widget the video is drawn on; none (the default) for sound only. The video fills it,
    // except for the rows of this bar when the bar is a child of it.
    QWidget* Display() const { return m_display; }
    void setDisplay(QWidget* display);

    bool isOpen() const { return m_device.isOpen(); }
    int DeviceID() const { return m_device.DeviceID(); }
    const MediaCapabilities& Capabilities() const { return m_device.Capabilities(); }
    MediaError Error() const { return m_device.Error(); }
    const QString& ErrorMessage() const { return m_device.ErrorMessage(); }
    MediaNotify NotifyValue() const { return m_device.NotifyValue(); }
    MediaMode Mode() const { return m_device.Mode(); }
    qint64 Position() const { return m_device.Position(); }
    qint64 Length() const { return m_device.Length(); }

    // Device operations (see MediaDevice for each one's rules).
    void Open();
    void Close();
    void Play() { m_device.Play(); }
    void Pause() { m_device.Pause(); }
    void PauseOnly() { m_device.PauseOnly(); }
    void Resume() { m_device.Resume(); }
    void Rewind() { m_device.Rewind(); }
    void Stop() { m_device.Stop(); }
    void Next() { m_device.Next(); }
    void Previous() { m_device.Previous(); }
    void Step() { m_device.Step(); }
    void Back() { m_device.Back(); }
    void StartRecording() { m_device.StartRecording(); }
    void Eject() { m_device.Eject(); }

    // Receives the errors that the bar's presses raise.
    void setErrorHandler(ErrorHandler handler) { m_onError = std::move(handler); }
    // Frames of the video that have reached the picture since the last Open (drawn on the
    // Display when the platform has native windows), and the size of the video as decoded.
    quint64 FramesShown() const { return m_device.FramesShown(); }
    QSize VideoSize() const { return m_device.VideoSize(); }

Q_SIGNALS:
    void notified(MediaNotify kind);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void press(MPButton button);
    void run(MPButton button);
    void setLook(BarLook look);
    void makeVideo();
    void placeVideo();
    void onNotified(MediaNotify kind);

    MediaDevice m_device;
    std::array<TMPButton*, kMPButtonCount> m_buttons{};
    QPointer<QWidget> m_display;
    QPointer<TVideoPicture> m_video;
    ErrorHandler m_onError;
};
