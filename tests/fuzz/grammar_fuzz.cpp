// libFuzzer target for the call message grammar: any bytes, decoded as a call message, are
// classified and taken apart. Only a counter call may fail, and only with EConvertError; any
// other exception, a crash or a memory error is a finding. Results are checked for the bounds
// the receive cycle relies on: the name text is a piece of the message, a counter call's name
// text is at most 40 characters, and the announcement is the name text and a bounded phrase. A
// name in its private form changes nothing but the name, which grows by its full stops at most.

#include "calls/destinations.h"
#include "calls/grammar.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString T =
        cp1252::decode(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const CallKind kind = classifyCall(T);
    fuzz::check(kind == classifyCall(T), "classification is repeatable");
    for (const NameForm form : {NameForm::Full, NameForm::Private}) try {
        const CallResult r = parseCall(T, 61, 37, form);
        const qsizetype bound = (form == NameForm::Full ? T.size() : 2 * T.size()) + 80;
        fuzz::check(r.kind == kind, "parseCall agrees with classifyCall");
        fuzz::check(T.contains(r.xsenha), "the name text is a piece of the message");
        if (kind == CallKind::Counter) {
            fuzz::check(r.xsenha.size() <= 40, "a counter call's name text is at most 40 characters");
            fuzz::check(r.pauseSeconds == 1, "a counter call pauses 1 second");
        } else {
            fuzz::check(r.pauseSeconds == 0, "only a counter call has its own pause");
        }
        fuzz::check(r.announcement.size() <= bound, "the announcement is bounded by the message");
        for (const PanelChange* p : {&r.panel3, &r.panel7, &r.panel8})
            if (p->text) fuzz::check(p->text->size() <= bound, "a panel text is bounded by the message");
        if (form == NameForm::Private)
            fuzz::check(r.panel8 == parseCall(T, 61, 37).panel8, "the destination line is the same in private form");
    } catch (const EConvertError& e) {
        fuzz::check(kind == CallKind::Counter, "only a counter call can fail");
        fuzz::check(e.text().endsWith(u"' is not a valid integer value"), "the conversion message");
    }
    // The destination look-up alone, with the first two characters as the code.
    const qsizetype cut = qMin<qsizetype>(2, T.size());
    const DestinationCall d = callDestination(QStringView(T).first(cut), QStringView(T).sliced(cut));
    fuzz::check(!d.panel8.isEmpty(), "every code has a destination line");
    fuzz::check(d.announcement.startsWith(QStringView(T).sliced(cut)), "the announcement starts with the name");
    return 0;
}
