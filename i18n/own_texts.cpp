// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/own_texts.h"

#include <array>

namespace nimbrel {

namespace {

// One key's text in English, German, French, Italian and Spanish (the order of LanguageIndex).
using OwnEntry = std::array<std::u16string_view, kLanguageCount>;

constexpr std::array<OwnEntry, kLastOwnKey> kOwnTexts = {{
    {u"Download to archive", u"Ins Archiv laden", u"Vers l'archive", u"Scarica nell'archivio",
     u"Descargar al archivo"},
    {u"Archive: %1 records", u"Archiv: %1 Datensätze", u"Archive : %1 enregistrements",
     u"Archivio: %1 record", u"Archivo: %1 registros"},
    {u"Archive: not in use", u"Archiv: nicht in Gebrauch", u"Archive : non utilisée",
     u"Archivio: non in uso", u"Archivo: no se usa"},
    {u"Archive: opening ...", u"Archiv: wird geöffnet ...", u"Archive : ouverture ...",
     u"Archivio: apertura ...", u"Archivo: abriendo ..."},
    {u"Last merge: %1", u"Zuletzt übernommen: %1", u"Dernier ajout : %1", u"Ultima unione: %1",
     u"Última fusión: %1"},
    {u"No merge yet", u"Noch nichts übernommen", u"Aucun ajout pour l'instant",
     u"Nessuna unione finora", u"Ninguna fusión todavía"},
    {u"Merging ...", u"Wird übernommen ...", u"Ajout en cours ...", u"Unione in corso ...",
     u"Fusionando ..."},
    {u"%1, incomplete", u"%1, unvollständig", u"%1, incomplet", u"%1, incompleto",
     u"%1, incompleto"},
}};

}  // namespace

std::u16string_view OwnText(LanguageIndex language, int key) {
  const auto slot = static_cast<std::size_t>(language);
  if (key < kFirstOwnKey || key > kLastOwnKey || slot >= kLanguageCount) {
    return {};
  }
  return kOwnTexts[static_cast<std::size_t>(key - kFirstOwnKey)][slot];
}

}  // namespace nimbrel
