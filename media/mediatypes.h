#pragma once
// Values that describe a media device: its mode, what it can do, its last result and the kind
// of its completion notices.

enum class MediaMode {
    NotReady,  // closed, opening, or holding a medium it cannot play
    Stopped,
    Playing,
    Recording,
    Seeking,
    Paused,
    Open,  // door open (removable media only; never reported here)
};

// Read at every open.
struct MediaCapabilities {
    bool canPlay = false;
    bool canRecord = false;
    bool canEject = false;
    bool hasVideo = false;
    bool canStep = false;  // moves by frames: the devices that show video
};

// The result of the last command sent to the device; None on success.
enum class MediaError {
    None = 0,
    Resource,      // the medium cannot be read
    Format,        // the medium's format cannot be played
    Network,
    AccessDenied,
    Unsupported,   // a command this device does not carry out
    Unknown,
};

// Why a play or resume ended.
enum class MediaNotify {
    None,        // nothing has ended yet
    Successful,  // played to the end of the medium
    Superseded,  // a newer play or resume took over
    Aborted,     // stopped or moved by another command
    Failure,     // the media system failed while playing
};
