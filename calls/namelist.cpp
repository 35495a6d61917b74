#include "calls/namelist.h"

namespace {

// Respellings use Portuguese spelling as the engine reads it: an accent where the stress falls
// (acute for an open vowel, circumflex for a closed one), "dj" for the English j, "ch" for
// the sound of "sh", "qu" and "gu" before e and i.
constexpr NameEntry kNames[] = {
    // Given names from English, as Brazilians say them: the English j is "dj", the stress falls where English
    // puts it, "y" is a vowel or a glide.
    {u"Jennifer", u"Djênifer"}, {u"Jenifer", u"Djênifer"}, {u"Jeniffer", u"Djênifer"}, {u"Jhenifer", u"Djênifer"},
    {u"Jackson", u"Djéquisson"}, {u"Jakson", u"Djéquisson"}, {u"Johnny", u"Djóni"}, {u"Jhonny", u"Djóni"},
    {u"John", u"Djón"}, {u"Jhon", u"Djón"}, {u"Jonathan", u"Djônatan"}, {u"Jhonatan", u"Djônatan"},
    {u"Jhonathan", u"Djônatan"}, {u"Jonathas", u"Jônatas"}, {u"Jason", u"[[dZ'eIsoN]]"}, {u"Jack", u"Djéque"},
    {u"Jimmy", u"Djími"}, {u"Jenny", u"Djéni"}, {u"Jean", u"Jiã"}, {u"Joyce", u"Djóici"},
    {u"Jordan", u"Djórdan"}, {u"Washington", u"Wóchinton"}, {u"Wallace", u"Wálace"}, {u"Wellington", u"Wélinton"},
    {u"Welington", u"Wélinton"}, {u"Taylor", u"[[t'eIlo*]]"}, {u"Ryan", u"Ráian"}, {u"Bryan", u"Bráian"},
    {u"Brian", u"Bráian"}, {u"Dylan", u"Dílan"}, {u"Peter", u"Píter"}, {u"Oliver", u"Óliver"},
    {u"Igor", u"Ígor"}, {u"Higor", u"Ígor"}, {u"Richard", u"Rítchard"}, {u"Robert", u"Róbert"},
    {u"Roberth", u"Róbert"}, {u"Deivid", u"[[d'eIvidZi]]"}, {u"Deyvid", u"[[d'eIvidZi]]"}, {u"Harry", u"Rári"},
    {u"Henry", u"Rênri"}, {u"Hudson", u"Rúdson"}, {u"Harrison", u"Rárisson"}, {u"Grace", u"[[gR'eIsi]]"},
    {u"Greice", u"[[gR'eIsi]]"}, {u"Kimberlly", u"Químberli"},
    {u"Katherine", u"Quéterin"}, {u"Kathleen", u"Quétlin"}, {u"Nicolas", u"Nícolas"},
    {u"Nickolas", u"Nícolas"}, {u"Nicholas", u"Nícolas"}, {u"Mike", u"Máique"}, {u"Ewerton", u"Éverton"},
    {u"Steve", u"Istívi"}, {u"Steven", u"Istíven"}, {u"Stephen", u"Istíven"}, 
    {u"Anthony", u"Ântoni"}, {u"Antony", u"Ântoni"}, {u"Mary", u"Méri"}, {u"Evelyn", u"Évelin"}, {u"Ewellyn", u"Évelin"},
    {u"Evellyn", u"Évelin"}, {u"Isaac", u"Isaque"}, {u"Elvis", u"Élvis"}, {u"Dalton", u"Dálton"},
    {u"Eric", u"Érique"}, {u"Erika", u"Érica"},
    {u"Yasmin", u"Yasmim"}, {u"Yasmim", u"Yasmim"}, {u"Jasmin", u"Jasmim"}, {u"Iuri", u"Iúri"},
    {u"Ramon", u"Ramôn"},
    {u"James", u"Djeimes"}, {u"Jeff", u"Djéf"}, {u"Jeffrey", u"Djéfri"}, {u"George", u"Djórdji"},
    {u"Johnatan", u"Djônatan"}, {u"Johnathan", u"Djônatan"}, {u"Jhordan", u"Djórdan"}, {u"Jeremy", u"Djérimi"},
    {u"Jenyffer", u"Djênifer"}, {u"Jhenyffer", u"Djênifer"}, {u"Wayne", u"[[w'eIni]]"}, {u"Daisy", u"Deisy"},
    {u"Lincoln", u"Líncoln"}, {u"Hebert", u"Ébert"}, {u"Herbert", u"Érbert"}, {u"Ronald", u"Rônald"},
    {u"Kenedy", u"Quénedi"}, {u"Kaleb", u"Calébe"}, {u"Marilyn", u"Márilin"}, {u"Marylin", u"Márilin"},
    {u"Evelin", u"Évelin"}, {u"Hevelyn", u"Évelin"}, {u"Hevellyn", u"Évelin"}, {u"Kethelyn", u"Quételin"},
    {u"Ketelyn", u"Quételin"}, {u"Kerolyn", u"Quérolin"}, {u"Tifany", u"Tífani"}, {u"Wilian", u"Wílian"},
    {u"Wilyan", u"Wílian"}, {u"Uilian", u"Uílian"}, {u"Wiliam", u"Wíliam"}, {u"Weslei", u"Uéslei"},
    {u"Wesclei", u"Uésclei"}, {u"Ueslei", u"Uéslei"}, {u"Sidnei", u"Sídnei"}, {u"Stive", u"Istívi"},
    {u"Stiven", u"Istíven"}, {u"Isack", u"Isáque"}, {u"Maycow", u"Máicou"}, {u"Maicow", u"Máicou"},
    {u"Marlom", u"Márlon"}, {u"Anthonny", u"Ântoni"}, {u"Thalys", u"Tális"}, {u"Talys", u"Tális"},
    {u"Heytor", u"Heitor"}, {u"Yasmyn", u"Yasmim"}, {u"Iasmin", u"Iasmim"}, {u"Hyasmin", u"Iasmim"},
    {u"Matheos", u"Matêus"}, {u"Matteus", u"Matêus"}, {u"Danniel", u"Daniel"}, {u"Sammuel", u"Samuel"},
    // Borrowed names in Portuguese letters, which the rules cannot tell from Portuguese words ("-er"
    // as in "comparecer"): stressed where the language they came from stresses them.
    {u"Cleber", u"Cléber"}, {u"Eder", u"Éder"}, {u"Heber", u"Éber"}, {u"Glauber", u"Gláuber"},
    {u"Brener", u"Brêner"}, {u"Abner", u"Ábner"}, {u"Alexander", u"Alexânder"}, {u"Alexsander", u"Alecsânder"},
    {u"Hector", u"Éctor"}, {u"Edgar", u"Édgar"}, {u"Oscar", u"Óscar"}, {u"Nestor", u"Néstor"},
    {u"Junior", u"Júnior"}, {u"Esther", u"Estér"},
    // W said as V, in names that came from German and Slavic.
    {u"Wagner", u"Vágner"}, {u"Vagner", u"Vágner"}, {u"Wanderley", u"Vanderlei"}, {u"Waldir", u"Valdir"},
    {u"Waldemar", u"Valdemar"}, {u"Walmir", u"Valmir"}, {u"Wladimir", u"Vladímir"},
    {u"Waldomiro", u"Valdomiro"}, {u"Wanessa", u"Vanessa"}, {u"Wanda", u"Vanda"}, {u"Waleska", u"Valesca"},
    {u"Walquiria", u"Valquíria"}, {u"Walkiria", u"Valquíria"}, {u"Wilmar", u"Vilmar"}, {u"Werner", u"Vérner"}, {u"Weber", u"Véber"},
    // Names from French, Italian, German and Arabic, said as in their language.
    {u"Sophie", u"Sofí"}, {u"Marie", u"Marí"}, {u"Louise", u"Luíze"}, {u"Louis", u"Luí"}, {u"Pierre", u"Piér"},
    {u"Yves", u"Ív"}, {u"Jacques", u"Jáqui"}, {u"Giuseppe", u"Djuzépe"}, {u"Gianluca", u"Djianlúca"},
    {u"Gianni", u"Djiâni"}, {u"Giancarlo", u"Djiancárlo"}, {u"Giovanni", u"Djiovâni"}, {u"Matteo", u"Matéo"}, {u"Emmanuel", u"Emanuel"},
    {u"Marchetti", u"Marquéti"}, {u"Bianchi", u"Biânqui"}, {u"Ricci", u"Rítchi"}, {u"Schmidt", u"Chmíti"},
    {u"Schmitt", u"Chmíti"}, {u"Schneider", u"Chnáider"}, {u"Muller", u"Míler"},
    {u"Hoffmann", u"Rófman"}, {u"Hoffman", u"Rófman"}, {u"Klein", u"Cláin"},
    {u"Krüger", u"Crúguer"}, {u"Kruger", u"Crúguer"}, {u"Zimmermann", u"Zímerman"}, {u"Hartmann", u"Rártman"},
    {u"Heinz", u"Ráins"}, {u"Meyer", u"Máier"}, {u"Maier", u"Máier"},
    {u"Schwartz", u"Chvárts"}, {u"Schwarz", u"Chvárts"}, {u"Schultz", u"Chúlts"}, {u"Schulz", u"Chúlts"},
    {u"Lehmann", u"Lêman"}, {u"Neumann", u"Nóiman"}, {u"Baumann", u"Báuman"}, {u"Khalil", u"Calil"},
    // Portuguese names written without their accents, as many systems write names in capitals: the engine
    // would stress them where the missing accent does not say.
    {u"Kaue", u"Cauê"}, {u"Jose", u"José"}, {u"Joao", u"João"}, {u"Antonio", u"Antônio"},
    {u"Antonia", u"Antônia"}, {u"Marcia", u"Márcia"}, {u"Lucia", u"Lúcia"}, {u"Patricia", u"Patrícia"},
    {u"Fabio", u"Fábio"}, {u"Fabiola", u"Fabíola"}, {u"Claudio", u"Cláudio"}, {u"Claudia", u"Cláudia"},
    {u"Vitoria", u"Vitória"}, {u"Leticia", u"Letícia"}, {u"Heloisa", u"Heloísa"}, {u"Moises", u"Moisés"},
    {u"Ines", u"Inês"}, {u"Monica", u"Mônica"}, {u"Angela", u"Ângela"}, {u"Cesar", u"César"},
    {u"Vinicius", u"Vinícius"}, {u"Otavio", u"Otávio"}, {u"Flavia", u"Flávia"}, {u"Flavio", u"Flávio"},
    {u"Silvia", u"Sílvia"}, {u"Silvio", u"Sílvio"}, {u"Julia", u"Júlia"}, {u"Julio", u"Júlio"},
    {u"Natalia", u"Natália"}, {u"Nathalia", u"Natália"}, {u"Vitor", u"Vítor"}, {u"Victor", u"Vítor"},
    {u"Andre", u"André"}, {u"Helio", u"Hélio"}, {u"Rogerio", u"Rogério"}, {u"Sergio", u"Sérgio"},
    {u"Marcio", u"Márcio"}, {u"Tania", u"Tânia"}, {u"Sonia", u"Sônia"}, {u"Debora", u"Débora"}, {u"Ingrid", u"Íngrid"},
    {u"Deborah", u"Débora"}, {u"Barbara", u"Bárbara"}, {u"Valeria", u"Valéria"}, {u"Glaucia", u"Gláucia"},
    {u"Conceicao", u"Conceição"}, {u"Goncalves", u"Gonçalves"}, {u"Assuncao", u"Assunção"},
    {u"Sebastiao", u"Sebastião"}, {u"Estevao", u"Estevão"}, {u"Romulo", u"Rômulo"}, {u"Mario", u"Mário"},
    {u"Alvaro", u"Álvaro"}, {u"Rubia", u"Rúbia"}, {u"Agata", u"Ágata"}, {u"Caua", u"Cauã"},
    {u"Maite", u"Maitê"}, {u"Lais", u"Laís"}, {u"Lays", u"Laís"}, {u"Thais", u"Taís"}, {u"Thays", u"Taís"},
    {u"Tais", u"Taís"}, {u"Jessica", u"Jéssica"}, {u"Simoes", u"Simões"}, {u"Guimaraes", u"Guimarães"},
    {u"Magalhaes", u"Magalhães"}, {u"Araujo", u"Araújo"}, {u"Lourenco", u"Lourenço"}, {u"Franca", u"França"},
    {u"Braganca", u"Bragança"}, {u"Camara", u"Câmara"}, {u"Patricio", u"Patrício"}, {u"Cassio", u"Cássio"},
    {u"Cassia", u"Cássia"}, {u"Lidia", u"Lídia"}, {u"Livia", u"Lívia"}, {u"Olivia", u"Olívia"},
    {u"Emilia", u"Emília"}, {u"Cecilia", u"Cecília"}, {u"Amelia", u"Amélia"}, {u"Aurelio", u"Aurélio"},
    {u"Eugenio", u"Eugênio"}, {u"Eugenia", u"Eugênia"}, {u"Gloria", u"Glória"}, {u"Horacio", u"Horácio"},
    {u"Inacio", u"Inácio"}, {u"Jeronimo", u"Jerônimo"}, {u"Lazaro", u"Lázaro"}, {u"Leonidas", u"Leônidas"},
    {u"Lucio", u"Lúcio"}, {u"Mauricio", u"Maurício"}, {u"Pamela", u"Pâmela"}, {u"Regis", u"Régis"},
    {u"Rosangela", u"Rosângela"}, {u"Sueli", u"Suéli"}, {u"Tarcisio", u"Tarcísio"}, {u"Tulio", u"Túlio"},
    {u"Valquiria", u"Valquíria"}, {u"Veronica", u"Verônica"}, {u"Virginia", u"Virgínia"}, {u"Vania", u"Vânia"},
    {u"Zelia", u"Zélia"}, {u"Abraao", u"Abraão"}, {u"Adao", u"Adão"}, {u"Alcantara", u"Alcântara"},
    {u"Angelo", u"Ângelo"}, {u"Bonifacio", u"Bonifácio"}, {u"Brigida", u"Brígida"}, {u"Candida", u"Cândida"},
    {u"Candido", u"Cândido"}, {u"Catia", u"Cátia"}, {u"Katia", u"Cátia"}, {u"Celia", u"Célia"},
    {u"Cicero", u"Cícero"}, {u"Clovis", u"Clóvis"}, {u"Damiao", u"Damião"}, {u"Decio", u"Décio"},
    {u"Estefania", u"Estefânia"}, {u"Eulalia", u"Eulália"}, {u"Eustaquio", u"Eustáquio"},
    {u"Fatima", u"Fátima"}, {u"Genesio", u"Genésio"}, {u"Hercules", u"Hércules"}, {u"Josue", u"Josué"},
    {u"Laercio", u"Laércio"}, {u"Lea", u"Léa"}, {u"Leia", u"Léia"}, {u"Lucineia", u"Lucinéia"},
    {u"Marilia", u"Marília"}, {u"Nadia", u"Nádia"}, {u"Nazare", u"Nazaré"}, {u"Nubia", u"Núbia"},
    {u"Otilia", u"Otília"}, {u"Quiteria", u"Quitéria"}, {u"Romario", u"Romário"}, {u"Rosario", u"Rosário"},
    {u"Vanderleia", u"Vanderléia"}, {u"Brandao", u"Brandão"}, {u"Falcao", u"Falcão"}, {u"Romao", u"Romão"},
    {u"Leao", u"Leão"}, {u"Aragao", u"Aragão"}, {u"Galvao", u"Galvão"}, {u"Mendonca", u"Mendonça"},
    {u"Gusmao", u"Gusmão"}, {u"Damasio", u"Damásio"}, {u"Cristovao", u"Cristóvão"},
    {u"Icaro", u"Ícaro"}, {u"Ycaro", u"Ícaro"}, {u"Victoria", u"Vitória"}, {u"Vittoria", u"Vitória"},
    {u"Lavinia", u"Lavínia"}, {u"Alicia", u"Alícia"}, {u"Allicia", u"Alícia"}, {u"Thayna", u"Tainá"},
    {u"Tayna", u"Tainá"}, {u"Taynah", u"Tainá"}, {u"Jesica", u"Jéssica"}, {u"Theo", u"Téo"},
    {u"Gabrieli", u"Gabriéli"}, {u"Micheli", u"Michéli"}, {u"Isabeli", u"Isabéli"}, {u"Emanueli", u"Emanuéli"},
    {u"Rafaeli", u"Rafaéli"},
    // Words of the destination phrases that are written without their accents.
    {u"Guiche", u"Guichê"}, {u"Pediatrica", u"Pediátrica"}, {u"Otoneurologico", u"Otoneurológico"},
};

} // namespace

std::span<const NameEntry> builtinNameEntries() { return kNames; }

const Lexicon& builtinNames() {
    static const Lexicon names = [] {
        Lexicon lexicon;
        for (const NameEntry& e : kNames) lexicon.add(QStringView(e.spelling), QString::fromUtf16(e.said));
        return lexicon;
    }();
    return names;
}
