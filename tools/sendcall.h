#pragma once
// What a calling station does for one call: connect to the panel, send the message in the
// panel's 8-bit code page and close. The panel answers nothing.

#include <QString>

// Throws std::runtime_error with a clear message (in Portuguese, for the receptionist) when the
// panel refuses the connection, cannot be reached, or the message cannot be written in the code
// page.
// With source, the call goes from that local address (a machine with several, or 127.0.0.0/8 in
// a test), as the panel's list of stations sees it.
void sendCallMessage(const QString& host, quint16 port, const QString& message, const QString& source = {},
                     int timeoutMs = 5000);
