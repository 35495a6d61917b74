#pragma once
// The grammar of call messages: what kind of call a message is, and what it does to the three
// call lines, to xsenha and to the announcement. Pure functions: text in, a result out. Applying
// the result (panels, notification, repaint, pause, listener) is the receive cycle's job.
//
// Positions are 1-based and count UTF-16 code units of the decoded message (see textpos.h).
// Every function here is linear in the message's length and safe for any UTF-16 text (NULs and
// lone surrogates included); the pieces a form takes from the message are copied unchanged.

#include "calls/privatename.h"

#include <QString>

#include <optional>

// The longest message the panel takes: the characters past it in one read are dropped unread.
// A real name or ticket is far shorter (a counter call uses 45 characters at most), and the
// speech of the longest message stays under a minute whatever it holds: digits, read as
// numbers, are the slowest to say (about 0.6 s a character).
constexpr qsizetype kMaxMessageChars = 80;

enum class CallKind {
    Refresh,       // exactly "refresh": re-read the calls list, no form
    Counter,       // no recognised prefix: a ticket called to a counter
    RiskRoom,      // "CR*": a risk-classification room
    Consulting,    // "MD*": a consulting room or service room (destination table)
    ReceptionDesk, // "AC*": the reception desk
    Reception,     // "RE*": reception
};

// "refresh" exactly (case-sensitive, nothing trimmed) is Refresh. Otherwise the first three
// characters decide, compared case-sensitively in the order "CR*", "MD*", "AC*", "RE*"; anything
// else (shorter texts, "cr*", "Refresh", "refresh " ...) is a counter call.
CallKind classifyCall(const QString& T);

// What a call does to one panel. A member left empty is left as the panel has it.
struct PanelChange {
    std::optional<QString> text;
    std::optional<int> fontSize; // points
    std::optional<bool> visible;

    bool operator==(const PanelChange&) const = default;
};

// Everything a call message sets; a panel's member left empty keeps what the panel has.
struct CallResult {
    CallKind kind = CallKind::Counter;
    PanelChange panel3;   // ticket or name line
    PanelChange panel7;   // priority line
    PanelChange panel8;   // destination line
    QString xsenha;       // the call's name or ticket text
    QString announcement; // the phrase to speak (may begin with a blank, may hold a CR)
    int counter = 0;      // counter calls: the counter number
    int ticket = 0;       // counter calls: the ticket number
    int pauseSeconds = 0; // the form's own pause after the repaint: 1 for a counter call
};

// Takes a call message apart. tamanhofontenome and tamanhofonteservico are the font sizes of
// config.ini for name lines and for the destination line. "nome" and "servico" below stand for
// them; a font or visibility not named is left unchanged.
//
// Refresh: nothing set (kind only).
// Counter (no prefix): counter = T[1..2] and ticket = T[3..5], each read by the integer rule
//   (StrToInt, so its other notations count too: " 3", "+3", "-3", "$F") and written back in
//   decimal ("03" -> 3, "015" -> 15). xsenha = T[6..45] (at most 40 characters).
//   Panel3 text = xsenha + " " + ticket; Panel8 text = "Guichê " + counter;
//   announcement = "Senha " + Panel3 + ", " + Panel8; pauseSeconds = 1.
//   Throws EConvertError "'<text>' is not a valid integer value" naming T[1..2] when that is not
//   a whole number, else T[3..5] when that is not.
// "CR*": xsenha = T[4..]; Panel3 text "" font nome; Panel7 shown, font nome; Panel8 font servico.
//   T[4] one of "1".."9" (the room): Panel8 = "Sala de Classificação de Risco " + T[4],
//   Panel7 = T[5..], announcement = T[5..] + " favor comparecer a sala de Classificação de
//   Risco " + T[4]. Otherwise: Panel8 = "Sala de Classificação de Risco", Panel7 = T[4..],
//   announcement = T[4..] + " favor comparecer a sala de Classificação de Risco".
// "MD*": Panel8 font servico.
//   T[5] one of "0".."9": T[4..5] is a destination code and N = T[6..]; xsenha = N; Panel3 font
//   nome; Panel3 text, Panel8 text and announcement from callDestination(T[4..5], N).
//   Otherwise T[4] is the room and N = T[5..]: xsenha = N; Panel3 = N, font nome;
//   Panel8 = "Consultório " + T[4]; announcement = N + " favor comparecer ao consultório " + T[4].
// "AC*": xsenha = T[4..]; Panel3 text "" font nome; Panel7 = T[4..], shown, font nome;
//   Panel8 = "favor comparecer a recepção", font nome;
//   announcement = T[4..] + CR (U+000D) + " favor comparecer a recepção".
// "RE*": xsenha = T[4..]; Panel3 text ""; Panel8 = "Recepção"; no font;
//   announcement = T[4..] + " favor comparecer a recepção".
// Only a counter call can fail; every other form takes any text, missing positions giving
// empty pieces.
//
// names Private: wherever a form above shows or speaks its name N (Panel3, Panel7, the
// destination table's texts, the announcement), it does so with privateName(N) instead. A
// counter call's ticket text, the destinations and xsenha, which is neither shown nor spoken,
// stay as received.
CallResult parseCall(const QString& T, int tamanhofontenome, int tamanhofonteservico,
                     NameForm names = NameForm::Full);

// Where the ticket text lies in a counter call's announcement ("Senha " + ticket text + " " +
// ticket + ", Guichê " + counter), for the voice, which spells it. No other form's
// announcement has that shape: theirs end in a destination phrase.
struct TextSpan {
    qsizetype start = 0;
    qsizetype length = 0;
};
std::optional<TextSpan> counterTicketText(const QString& announcement);
