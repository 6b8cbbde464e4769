#include "help_text.h"

namespace ln40::gui {

const QStringList& HelpLines() {
  // Trailing blanks and the spacing of the column table are part of the text.
  static const QStringList lines = {
      QStringLiteral("Velkommen til Vexa LN40 utility"),
      QStringLiteral("------------------------------------------------"),
      QStringLiteral("Med dette programmet kan du lese tider inn fra en ln20 eller LN40 klokke. Tidene kan vises i en grid"),
      QStringLiteral("og du kan også koble tider med løpere i et excel ark. "),
      QString(),
      QStringLiteral("Grunnleggende"),
      QStringLiteral("Programmet vil søke på alle serieporter og usb enheter etter en klokke. Dersom du har koblet til en"),
      QStringLiteral("LN40 på en USB port vil denne klokken bli valgt. Dersom du kobler LN40 til etter at programmet har startet"),
      QStringLiteral("må du bruke knappen for å Spørre etter enheter for å starte komunikasjonen."),
      QStringLiteral("Programmet vil starte å hente tider straks du har koblet til. "),
      QString(),
      QStringLiteral("Reader nulltime"),
      QStringLiteral("Både LN20 og LN40 bruker en nulltid som utgangspunkt for sin tidsberegning. I feltet reader nulltime"),
      QStringLiteral("kan du sette hvilket klokkeslett klokken var null. Programmet vil da generere riktige"),
      QStringLiteral("innkomsttider. Dersom du bare er interesert i klokketiden kan du sette nulltime til 00:00:00"),
      QString(),
      QStringLiteral("Excel timing"),
      QStringLiteral("Dersom du velger excel tidtaking bør du hente et ferdig laget regneark med navn på løpere. "),
      QStringLiteral("Arket må ha følgende format:"),
      QStringLiteral("Kolonne           beskrivelse"),
      QStringLiteral("A                     Fornavn"),
      QStringLiteral("B                     Etternavn"),
      QStringLiteral("C                     Klassenavn"),
      QStringLiteral("D                     Klubbnavn"),
      QStringLiteral("E                     Kjønn        (ikke obligatorisk)"),
      QStringLiteral("F                     Løype        (Ikke obligatorisk)"),
      QStringLiteral("G                     Startnr       (Må finnes for at tidtaking skal virke)"),
      QStringLiteral("H                    Brikkenr     (Ikke obligatorisk"),
      QStringLiteral("I                      Starttid       Kan være et klokkeslett eller blankt"),
      QStringLiteral("J                     Kid             (Ikke obligatorisk)"),
      QStringLiteral("K                    Innkomsttid  (Ikke obligatorisk, blir utfylt når tidtakinge startet"),
      QStringLiteral("L                    Sluttid           (Ikke obligatorisk, blir utfylt når tidtakingen startet"),
      QString(),
      QStringLiteral("Arket som brukes er alltid det første i Excel arbeidsboken. "),
      QString(),
      QStringLiteral("Data kan lagres tilbake til Excel arket eller du kan lagre det til ett nytt ark. "),
      QString(),
      QStringLiteral("Excel rutiner"),
      QStringLiteral("Når du peker på en rad kan du legge til flere rader ved å trykke på INS tasten. Du kan også slette linjer ved å trykke "),
      QStringLiteral("på DEL tasten. Komandoene virker ikke når du holder på å editere i en celle. (teksten i cellen er"),
      QStringLiteral("i mørkeblåd farge)"),
      QString(),
      QStringLiteral("Kopier startnr nedover i griden."),
      QStringLiteral("Skriv startnr i de to første cellene i startnr kolonnen."),
      QStringLiteral("Merk de to kolonnene med shift og museklikk"),
      QStringLiteral("Trykk CTRL+C for å kopiere"),
      QStringLiteral("Merk hele startnr kolonnen med shift og museklikk og trykk på CTRL-V for å tildele nr til alle."),
      QString(),
      QStringLiteral("Kopier starttid med økende tid."),
      QStringLiteral("Gjør på samme måte som for å kopiere startnr (Skriv starttiden i to celler og kopier til hele kolonnen)"),
  };
  return lines;
}

}  // namespace ln40::gui
