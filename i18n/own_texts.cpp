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
    {u"HISTORY", u"VERLAUF", u"HISTORIQUE", u"STORICO", u"HISTORIAL"},
    {u"READINGS", u"MESSWERTE", u"MESURES", u"MISURE", u"MEDICIONES"},
    {u"PERIOD", u"ZEITRAUM", u"PÉRIODE", u"PERIODO", u"PERIODO"},
    {u"CHANNELS", u"KANÄLE", u"CANAUX", u"CANALI", u"CANALES"},
    {u"Temperature", u"Temperatur", u"Température", u"Temperatura", u"Temperatura"},
    {u"Humidity", u"Luftfeuchte", u"Humidité", u"Umidità", u"Humedad"},
    {u"Pressure", u"Luftdruck", u"Pression", u"Pressione", u"Presión"},
    {u"Wind", u"Wind", u"Vent", u"Vento", u"Viento"},
    {u"Rain", u"Regen", u"Pluie", u"Pioggia", u"Lluvia"},
    {u"UV index", u"UV-Index", u"Indice UV", u"Indice UV", u"Índice UV"},
    {u"24 hours", u"24 Stunden", u"24 heures", u"24 ore", u"24 horas"},
    {u"7 days", u"7 Tage", u"7 jours", u"7 giorni", u"7 días"},
    {u"30 days", u"30 Tage", u"30 jours", u"30 giorni", u"30 días"},
    {u"12 months", u"12 Monate", u"12 mois", u"12 mesi", u"12 meses"},
    {u"From – to", u"Von – bis", u"Du – au", u"Dal – al", u"Desde – hasta"},
    {u"From", u"Von", u"Du", u"Dal", u"Desde"},
    {u"To", u"Bis", u"Au", u"Al", u"Hasta"},
    {u"min", u"Min", u"min", u"min", u"mín"},
    {u"max", u"Max", u"max", u"max", u"máx"},
    {u"mean", u"Mittel", u"moy.", u"media", u"media"},
    {u"Reading …", u"Wird gelesen …", u"Lecture …", u"Lettura …", u"Leyendo …"},
    {u"No weather archive in use", u"Kein Wetterarchiv in Gebrauch",
     u"Aucune archive météo utilisée", u"Nessun archivio meteo in uso",
     u"Ningún archivo meteorológico en uso"},
    {u"No records in this period", u"Keine Datensätze in diesem Zeitraum",
     u"Aucun enregistrement sur cette période", u"Nessun record in questo periodo",
     u"Ningún registro en este periodo"},
    {u"Save as PNG …", u"Als PNG speichern …", u"Enregistrer en PNG …", u"Salva come PNG …",
     u"Guardar como PNG …"},
    {u"Save as SVG …", u"Als SVG speichern …", u"Enregistrer en SVG …", u"Salva come SVG …",
     u"Guardar como SVG …"},
    {u"Indoor", u"Innen", u"Intérieur", u"Interno", u"Interior"},
    {u"Outdoor", u"Außen", u"Extérieur", u"Esterno", u"Exterior"},
    {u"Dew point", u"Taupunkt", u"Point de rosée", u"Punto di rugiada", u"Punto de rocío"},
    {u"Heat index", u"Hitzeindex", u"Indice de chaleur", u"Indice di calore", u"Índice de calor"},
    {u"Wind chill", u"Windkühle", u"Refroidissement éolien", u"Temperatura percepita",
     u"Sensación térmica"},
    {u"CH%1", u"CH%1", u"CH%1", u"CH%1", u"CH%1"},
    {u"Indoor", u"Innen", u"Intérieur", u"Interno", u"Interior"},
    {u"Outdoor", u"Außen", u"Extérieur", u"Esterno", u"Exterior"},
    {u"CH%1", u"CH%1", u"CH%1", u"CH%1", u"CH%1"},
    {u"Relative pressure", u"Relativer Luftdruck", u"Pression relative", u"Pressione relativa",
     u"Presión relativa"},
    {u"Speed", u"Geschwindigkeit", u"Vitesse", u"Velocità", u"Velocidad"},
    {u"Gust", u"Böe", u"Rafale", u"Raffica", u"Ráfaga"},
    {u"Direction", u"Richtung", u"Direction", u"Direzione", u"Dirección"},
    {u"Rain rate", u"Regenrate", u"Intensité de pluie", u"Intensità di pioggia",
     u"Intensidad de lluvia"},
    {u"Daily rain", u"Tagesregen", u"Pluie du jour", u"Pioggia del giorno", u"Lluvia diaria"},
    {u"UV index", u"UV-Index", u"Indice UV", u"Indice UV", u"Índice UV"},
    {u"Absolute pressure", u"Absoluter Luftdruck", u"Pression absolue", u"Pressione assoluta",
     u"Presión absoluta"},
    {u"Downloading", u"Herunterladen", u"Téléchargement", u"Scaricamento", u"Descargando"},
    {u"RECORDS", u"REKORDE", u"RECORDS", u"RECORD", u"RÉCORDS"},
    {u"Today", u"Heute", u"Aujourd'hui", u"Oggi", u"Hoy"},
    {u"Yesterday", u"Gestern", u"Hier", u"Ieri", u"Ayer"},
    {u"This month", u"Dieser Monat", u"Ce mois-ci", u"Questo mese", u"Este mes"},
    {u"This year", u"Dieses Jahr", u"Cette année", u"Quest'anno", u"Este año"},
    {u"Rain season", u"Regensaison", u"Saison des pluies", u"Stagione piogge",
     u"Temporada de lluvias"},
    {u"All time", u"Gesamt", u"Depuis le début", u"Da sempre", u"Histórico"},
    {u"Outdoor temperature", u"Außentemperatur", u"Température extérieure", u"Temperatura esterna",
     u"Temperatura exterior"},
    {u"Outdoor humidity", u"Außenfeuchte", u"Humidité extérieure", u"Umidità esterna",
     u"Humedad exterior"},
    {u"Wind speed", u"Windgeschwindigkeit", u"Vitesse du vent", u"Velocità del vento",
     u"Velocidad del viento"},
    {u"Indoor temperature", u"Innentemperatur", u"Température intérieure", u"Temperatura interna",
     u"Temperatura interior"},
    {u"Rain total", u"Regenmenge", u"Cumul de pluie", u"Pioggia totale", u"Lluvia total"},
    {u"Wettest day", u"Nassester Tag", u"Jour le plus pluvieux", u"Giorno più piovoso",
     u"Día más lluvioso"},
    {u"Rain season from", u"Regensaison ab", u"Saison des pluies dès", u"Stagione piogge da",
     u"Lluvias desde"},
    {u"Now", u"Jetzt", u"Maintenant", u"Adesso", u"Ahora"},
    {u"Console waiting", u"Konsole wartet", u"Console en attente", u"Console in attesa",
     u"Consola en espera"},
    {u"Last hour", u"Letzte Stunde", u"Dernière heure", u"Ultima ora", u"Última hora"},
    {u"Connecting to the station…", u"Verbindung zur Station …", u"Connexion à la station…",
     u"Connessione alla stazione…", u"Conectando con la estación…"},
    {u"The console is held by the window: the live view waits until the window lets it go. History "
     u"and records are still here.",
     u"Das Fenster belegt die Konsole: die Live-Ansicht wartet, bis das Fenster sie freigibt. "
     u"Verlauf und Rekorde sind weiter da.",
     u"La console est occupée par la fenêtre : la vue en direct attend qu'elle la libère. "
     u"L'historique et les records restent disponibles.",
     u"La console è occupata dalla finestra: la vista dal vivo attende che la rilasci. Storico e "
     u"record restano disponibili.",
     u"La ventana ocupa la consola: la vista en vivo espera a que la libere. El historial y los "
     u"récords siguen aquí."},
    {u"The console is gone: no live reading until it is back.",
     u"Die Konsole ist weg: keine Live-Messung, bis sie zurück ist.",
     u"La console a disparu : pas de mesure en direct jusqu'à son retour.",
     u"La console non c'è più: nessuna lettura dal vivo finché non torna.",
     u"La consola no está: no hay lectura en vivo hasta que vuelva."},
    {u"The station service is gone. Trying again…", u"Der Stationsdienst ist weg. Neuer Versuch …",
     u"Le service de la station a disparu. Nouvel essai…",
     u"Il servizio della stazione non c'è più. Nuovo tentativo…",
     u"El servicio de la estación no está. Reintentando…"},
    {u"Could not load:", u"Laden fehlgeschlagen:", u"Échec du chargement :",
     u"Caricamento non riuscito:", u"No se pudo cargar:"},
    {u"Count", u"Anzahl", u"Nombre", u"Numero", u"Cantidad"},
    {u"at", u"um", u"à", u"alle", u"a las"},
    {u"Days with rain", u"Regentage", u"Jours de pluie", u"Giorni di pioggia", u"Días de lluvia"},
    {u"Highest rate", u"Höchste Rate", u"Intensité max", u"Intensità massima",
     u"Intensidad máxima"},
    {u"Records", u"Datensätze", u"Enregistrements", u"Registrazioni", u"Registros"},
    {u"Days without a record", u"Tage ohne Datensatz", u"Jours sans enregistrement",
     u"Giorni senza registrazioni", u"Días sin registro"},
    {u"No readings:", u"Keine Messungen:", u"Aucune mesure :", u"Nessuna lettura:",
     u"Sin lecturas:"},
    {u"none", u"keine", u"aucun", u"nessuno", u"ninguno"},
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
