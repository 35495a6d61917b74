#pragma once
// Choice of the media system behind the players.

// Makes Qt Multimedia use its GStreamer backend unless the environment already names one
// (QT_MEDIA_BACKEND). Qt 6.4's ffmpeg backend hangs or crashes on a machine without an audio
// device, which a panel often is. Call it before the application object is made.
void selectMediaBackend();
