"""Writes the key mapper's command-list files FennickKey_<code>.ini, one per language code.

Usage: make_command_lists.py [output folder]   (default: this folder)
The files are private-profile files in code page 1252 with CRLF line ends, as the key mapper
reads them. Edit the tables here and run the script; the build checks the files match.
"""
import os
import sys

CODES = ["ENG", "FRF", "DUB", "GED", "SWS", "NON", "ITI"]
LANGUAGE_NAMES = {"ENG": "English", "FRF": "French", "DUB": "Dutch", "GED": "German", "SWS": "Swedish",
                  "NON": "Norwegian", "ITI": "Italian"}


def same(name):
    return {code: name for code in CODES}


def tr(eng, frf, dub, ged, sws, non, iti):
    return dict(zip(CODES, [eng, frf, dub, ged, sws, non, iti]))


# Windows virtual-key codes (decimal) with their names; the keys a switch most often gives come first.
VIRTUAL_KEYS = (
    [
        (13, tr("Enter", "Entrée", "Enter", "Eingabe", "Retur", "Enter", "Invio")),
        (27, tr("Escape", "Échap", "Escape", "Esc", "Esc", "Esc", "Esc")),
        (9, tr("Tab", "Tabulation", "Tab", "Tabulator", "Tabb", "Tab", "Tabulazione")),
        (32, tr("Space", "Espace", "Spatiebalk", "Leertaste", "Mellanslag", "Mellomrom", "Spazio")),
        (8, tr("Backspace", "Retour arrière", "Backspace", "Rücktaste", "Backsteg", "Tilbake", "Backspace")),
        (46, tr("Delete", "Suppr", "Delete", "Entf", "Delete", "Delete", "Canc")),
        (45, tr("Insert", "Inser", "Insert", "Einfg", "Insert", "Insert", "Ins")),
        (36, tr("Home", "Origine", "Home", "Pos1", "Home", "Home", "Home")),
        (35, tr("End", "Fin", "End", "Ende", "End", "End", "Fine")),
        (33, tr("Page Up", "Page précédente", "Page Up", "Bild auf", "Page Up", "Page Up", "Pagina su")),
        (34, tr("Page Down", "Page suivante", "Page Down", "Bild ab", "Page Down", "Page Down", "Pagina giù")),
        (37, tr("Left arrow", "Flèche gauche", "Pijl links", "Pfeil links", "Vänsterpil", "Venstre pil",
                "Freccia sinistra")),
        (39, tr("Right arrow", "Flèche droite", "Pijl rechts", "Pfeil rechts", "Högerpil", "Høyre pil",
                "Freccia destra")),
        (38, tr("Up arrow", "Flèche haut", "Pijl omhoog", "Pfeil oben", "Uppil", "Pil opp", "Freccia su")),
        (40, tr("Down arrow", "Flèche bas", "Pijl omlaag", "Pfeil unten", "Nedpil", "Pil ned", "Freccia giù")),
        (16, tr("Shift", "Maj", "Shift", "Umschalt", "Skift", "Shift", "Maiusc")),
        (160, tr("Left Shift", "Maj gauche", "Linker Shift", "Umschalt links", "Vänster Skift", "Venstre Shift",
                 "Maiusc sinistro")),
        (161, tr("Right Shift", "Maj droite", "Rechter Shift", "Umschalt rechts", "Höger Skift", "Høyre Shift",
                 "Maiusc destro")),
        (17, tr("Ctrl", "Ctrl", "Ctrl", "Strg", "Ctrl", "Ctrl", "Ctrl")),
        (162, tr("Left Ctrl", "Ctrl gauche", "Linker Ctrl", "Strg links", "Vänster Ctrl", "Venstre Ctrl",
                 "Ctrl sinistro")),
        (163, tr("Right Ctrl", "Ctrl droite", "Rechter Ctrl", "Strg rechts", "Höger Ctrl", "Høyre Ctrl",
                 "Ctrl destro")),
        (18, same("Alt")),
        (165, tr("Right Alt (Alt Gr)", "Alt Gr", "Alt Gr", "Alt Gr", "Alt Gr", "Alt Gr", "Alt Gr")),
        (20, tr("Caps Lock", "Verr. Maj", "Caps Lock", "Feststelltaste", "Caps Lock", "Caps Lock", "Bloc Maiusc")),
        (91, tr("Left Windows key", "Touche Windows gauche", "Linker Windows-toets", "Windows-Taste links",
                "Vänster Windows-tangent", "Venstre Windows-tast", "Tasto Windows sinistro")),
        (92, tr("Right Windows key", "Touche Windows droite", "Rechter Windows-toets", "Windows-Taste rechts",
                "Höger Windows-tangent", "Høyre Windows-tast", "Tasto Windows destro")),
        (93, tr("Menu key", "Touche Menu", "Menutoets", "Menütaste", "Menytangent", "Menytast", "Tasto Menu")),
        (44, tr("Print Screen", "Impr. écran", "Print Screen", "Druck", "Print Screen", "Print Screen", "Stamp")),
        (19, tr("Pause", "Pause", "Pause", "Pause", "Pause", "Pause", "Pausa")),
        (175, tr("Volume up", "Volume +", "Volume hoger", "Lauter", "Volym upp", "Volum opp", "Volume su")),
        (174, tr("Volume down", "Volume -", "Volume lager", "Leiser", "Volym ned", "Volum ned", "Volume giù")),
        (173, tr("Mute", "Muet", "Geluid uit", "Stumm", "Ljud av", "Lyd av", "Disattiva audio")),
        (179, tr("Play/Pause", "Lecture/Pause", "Afspelen/Pauze", "Wiedergabe/Pause", "Spela/Paus",
                 "Spill av/Pause", "Riproduci/Pausa")),
        (178, tr("Stop", "Arrêt", "Stoppen", "Stopp", "Stopp", "Stopp", "Stop")),
        (176, tr("Next track", "Piste suivante", "Volgend nummer", "Nächster Titel", "Nästa spår", "Neste spor",
                 "Brano successivo")),
        (177, tr("Previous track", "Piste précédente", "Vorig nummer", "Vorheriger Titel", "Föregående spår",
                 "Forrige spor", "Brano precedente")),
        (166, tr("Browser back", "Navigateur : précédent", "Browser terug", "Browser zurück", "Webbläsare bakåt",
                 "Nettleser tilbake", "Browser indietro")),
        (167, tr("Browser forward", "Navigateur : suivant", "Browser vooruit", "Browser vor", "Webbläsare framåt",
                 "Nettleser fram", "Browser avanti")),
    ]
    + [(ord(c), same(c)) for c in "ABCDEFGHIJKLMNOPQRSTUVWXYZ"]
    + [(ord(c), same(c)) for c in "0123456789"]
    + [(0x70 + i, same("F%d" % (i + 1))) for i in range(12)]
)

DEVICE_COMMAND = tr("Fennick device: command %s", "Boîtier Fennick : commande %s", "Fennick-kastje: opdracht %s",
                    "Fennick-Gerät: Befehl %s", "Fennick-enhet: kommando %s", "Fennick-enhet: kommando %s",
                    "Dispositivo Fennick: comando %s")

# Function numbers 0..6: volume up and down, then the bytes U, D, R, G, T sent to the device.
WINDOWS_FUNCTIONS = [
    (0, tr("Volume up", "Augmenter le volume", "Volume harder", "Lautstärke erhöhen", "Höj volymen",
           "Skru opp volumet", "Alza il volume")),
    (1, tr("Volume down", "Baisser le volume", "Volume zachter", "Lautstärke verringern", "Sänk volymen",
           "Skru ned volumet", "Abbassa il volume")),
] + [(n, {code: DEVICE_COMMAND[code] % byte for code in CODES}) for n, byte in zip(range(2, 7), "UDRGT")]

# The target applications take plain command numbers; what each number does is theirs to
# say, so the lists name them by number.
APP_COMMAND = tr("Command %d", "Commande %d", "Opdracht %d", "Befehl %d", "Kommando %d", "Kommando %d",
                 "Comando %d")
APP_SECTIONS = ["Cogniva", "Parlora", "Hopla", "Tastra"]
APP_COMMAND_COUNT = 10


def app_commands():
    return [(n, {code: APP_COMMAND[code] % n for code in CODES}) for n in range(1, APP_COMMAND_COUNT + 1)]


def section(name, entries, code):
    lines = ["[%s]" % name, "NumOfFunctions=%d" % len(entries)]
    for i, (value, names) in enumerate(entries, 1):
        lines.append("CmdVal%d=%d" % (i, value))
        lines.append("CmdName%d=%s" % (i, names[code]))
    return lines


def file_text(code):
    lines = ["; FennickKey command list, %s: the names offered for keys, functions and application commands."
             % LANGUAGE_NAMES[code], ""]
    lines += section("VirtualKeys", VIRTUAL_KEYS, code) + [""]
    lines += section("WindowsFunctions", WINDOWS_FUNCTIONS, code)
    for app in APP_SECTIONS:
        lines += [""] + section(app, app_commands(), code)
    return "\r\n".join(lines) + "\r\n"


def write_all(folder):
    for code in CODES:
        with open(os.path.join(folder, "FennickKey_%s.ini" % code), "wb") as out:
            out.write(file_text(code).encode("cp1252"))


if __name__ == "__main__":
    write_all(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))
