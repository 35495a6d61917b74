#include "calls/destinations.h"

#include "calls/textpos.h"

#include <array>

namespace {

using Rule = Destination::Panel3Rule;

constexpr std::array<Destination, 30> kTable = {{
    {u"30", u"SALA DE CLASSIFICAÇÃO DE RISCO 1", u" favor comparecer a Sala 1", Rule::Empty},
    {u"31", u"SALA DE CLASSIFICAÇÃO 2 DE RISCO", u" favor comparecer a Sala 2", Rule::Empty},
    {u"32", u"RECEPÇÃO", u" favor comparecer a Recepção", Rule::PaddedName},
    {u"41", u"RECEPÇÃO - GUICHE 1", u" favor comparecer a Recepção, Guiche 1", Rule::PaddedName},
    {u"42", u"RECEPÇÃO - GUICHE 2", u" favor comparecer a Recepção, Guiche 2", Rule::PaddedName},
    {u"43", u"RECEPÇÃO - GUICHE 3", u" favor comparecer a Recepção, Guiche 3", Rule::PaddedName},
    {u"44", u"RECEPÇÃO - GUICHE 4", u" favor comparecer a Recepção, Guiche 4", Rule::PaddedName},
    {u"45", u"RECEPÇÃO - GUICHE 5", u" favor comparecer a Recepção, Guiche 5", Rule::PaddedName},
    {u"50", u"SALA DE SUTURA", u" favor comparecer a Sala de Sutura", Rule::Empty},
    {u"51", u"SALA DE MEDICAÇÃO", u" favor comparecer a Sala de Medicação", Rule::Name},
    {u"52", u"OBSERVAÇÃO ADULTA", u" favor comparecer a Observação Adulta", Rule::Empty},
    {u"53", u"OBSERVAÇÃO PEDIATRICA", u" favor comparecer a Observação Pediatrica", Rule::Empty},
    {u"54", u"SALA VERMELHA", u" favor comparecer a Sala Vermelha", Rule::Empty},
    {u"55", u"SERVIÇO SOCIAL", u" favor comparecer ao Serviço Social", Rule::Empty},
    {u"83", u"RAIO X", u" favor comparecer a Sala do RX", Rule::Name},
    {u"84", u"BIOIMAGEM", u" favor comparecer a Sala de Bioimagem", Rule::Empty},
    {u"85", u"SALA DE EXAME", u" favor comparecer a Sala de Exame 1", Rule::Empty},
    {u"86", u"SALA DE EXAME 1", u" favor comparecer a Sala de Exame 1", Rule::Empty},
    {u"87", u"SALA DE EXAME 2", u" favor comparecer a Sala de Exame 2", Rule::Empty},
    {u"88", u"SALA DE EXAME 3", u" favor comparecer a Sala de Exame 3", Rule::Empty},
    {u"89", u"RESSONANCIA", u" favor comparecer a Ressonância", Rule::Empty},
    {u"90", u"TOMOGRAFIA", u" favor comparecer a Tomografia", Rule::Empty},
    {u"91", u"ENDOSCOPIA", u" favor comparecer a Endoscopia", Rule::Empty},
    {u"92", u"LITOTRIPSIA", u" favor comparecer a Litotripsia", Rule::Empty},
    {u"94", u"ODONTOLOGIA", u" favor comparecer a Odontologia", Rule::Empty},
    {u"95", u"TESTE ALÉRGICO", u" favor comparecer ao Teste Alérgico", Rule::Empty},
    {u"96", u"OTONEUROLOGICO", u" favor comparecer Exame Otoneurologico", Rule::Empty},
    {u"97", u"AUDIOLÓGICO", u" favor comparecer Exame Audiológico", Rule::Empty},
    {u"98", u"PRONTO ATENDIMENTO", u" favor comparecer a Sala de PRONTO ATENDIMENTO", Rule::Empty},
    {u"99", u"ELETROCARDIOGRAMA", u" favor comparecer ao ELETROCARDIOGRAMA", Rule::Name},
}};

QString panel3Text(Rule rule, QStringView name) {
    switch (rule) {
    case Rule::Empty:
        return {};
    case Rule::Name:
        return name.toString();
    case Rule::PaddedName:
        return QString(kPanel3Padding, u' ').append(name);
    }
    return {};
}

} // namespace

std::span<const Destination> destinationTable() {
    return kTable;
}

const Destination* findDestination(QStringView code) {
    for (const Destination& row : kTable)
        if (row.code == code) return &row;
    return nullptr;
}

DestinationCall callDestination(QStringView code, QStringView name) {
    if (const Destination* row = findDestination(code))
        return {panel3Text(row->rule, name), row->title.toString(),
                textpos::concat({name, row->phrase})};
    QString room = textpos::concat({u"Consultório ", code});
    QString announcement = textpos::concat({name, u" favor comparecer ao ", room});
    return {name.toString(), std::move(room), std::move(announcement)};
}
