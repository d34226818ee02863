; Texts of the installer and uninstaller in the suite's languages. English comes first: it is the
; language of every user whose Windows language is none of these (US English included).
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Dutch"
!insertmacro MUI_LANGUAGE "Italian"

LangString SectionPrograms ${LANG_ENGLISH} "Fennick programs"
LangString SectionPrograms ${LANG_FRENCH} "Programmes Fennick"
LangString SectionPrograms ${LANG_DUTCH} "Fennick-programma's"
LangString SectionPrograms ${LANG_ITALIAN} "Programmi Fennick"

LangString SectionLogon ${LANG_ENGLISH} "Start the key mapper when I log on"
LangString SectionLogon ${LANG_FRENCH} "Démarrer FennickKey à l'ouverture de ma session"
LangString SectionLogon ${LANG_DUTCH} "FennickKey starten wanneer ik me aanmeld"
LangString SectionLogon ${LANG_ITALIAN} "Avvia FennickKey quando accedo"

LangString SectionUnPrograms ${LANG_ENGLISH} "Fennick programs and settings"
LangString SectionUnPrograms ${LANG_FRENCH} "Programmes et réglages Fennick"
LangString SectionUnPrograms ${LANG_DUTCH} "Fennick-programma's en instellingen"
LangString SectionUnPrograms ${LANG_ITALIAN} "Programmi e impostazioni Fennick"

LangString SectionUnUserFiles ${LANG_ENGLISH} "Also remove my profiles, application links and custom macros"
LangString SectionUnUserFiles ${LANG_FRENCH} "Supprimer aussi mes profils, liens d'applications et macros personnelles"
LangString SectionUnUserFiles ${LANG_DUTCH} "Ook mijn profielen, programmakoppelingen en eigen macro's verwijderen"
LangString SectionUnUserFiles ${LANG_ITALIAN} "Rimuovi anche i miei profili, collegamenti alle applicazioni e macro personali"

LangString MessageRunning ${LANG_ENGLISH} "These Fennick programs are running: $R0.$\n$\nSetup closes them now; each saves its settings as it closes.$\nClick Cancel to leave them running and stop."
LangString MessageRunning ${LANG_FRENCH} "Ces programmes Fennick sont ouverts : $R0.$\n$\nL'installation les ferme maintenant ; chacun enregistre ses réglages en se fermant.$\nCliquez sur Annuler pour les laisser ouverts et arrêter."
LangString MessageRunning ${LANG_DUTCH} "Deze Fennick-programma's zijn actief: $R0.$\n$\nDe installatie sluit ze nu; elk programma bewaart zijn instellingen bij het sluiten.$\nKlik op Annuleren om ze open te laten en te stoppen."
LangString MessageRunning ${LANG_ITALIAN} "Questi programmi Fennick sono in esecuzione: $R0.$\n$\nL'installazione li chiude ora; ognuno salva le proprie impostazioni alla chiusura.$\nFare clic su Annulla per lasciarli aperti e interrompere."

LangString MessageNotClosed ${LANG_ENGLISH} "These Fennick programs did not close: $R0.$\n$\nClose them yourself, then click Retry."
LangString MessageNotClosed ${LANG_FRENCH} "Ces programmes Fennick ne se sont pas fermés : $R0.$\n$\nFermez-les vous-même, puis cliquez sur Réessayer."
LangString MessageNotClosed ${LANG_DUTCH} "Deze Fennick-programma's zijn niet gesloten: $R0.$\n$\nSluit ze zelf en klik dan op Opnieuw."
LangString MessageNotClosed ${LANG_ITALIAN} "Questi programmi Fennick non si sono chiusi: $R0.$\n$\nChiuderli manualmente, poi fare clic su Riprova."

LangString MessageStopped ${LANG_ENGLISH} "Stopped: $R0 still running."
LangString MessageStopped ${LANG_FRENCH} "Arrêt : $R0 encore ouvert."
LangString MessageStopped ${LANG_DUTCH} "Gestopt: $R0 nog actief."
LangString MessageStopped ${LANG_ITALIAN} "Interrotto: $R0 ancora in esecuzione."

LangString MessageRemovedAtLogon ${LANG_ENGLISH} "Still in use, removed at the next log-on: $INSTDIR\$0"
LangString MessageRemovedAtLogon ${LANG_FRENCH} "Encore utilisé, supprimé à la prochaine ouverture de session : $INSTDIR\$0"
LangString MessageRemovedAtLogon ${LANG_DUTCH} "Nog in gebruik, verwijderd bij de volgende aanmelding: $INSTDIR\$0"
LangString MessageRemovedAtLogon ${LANG_ITALIAN} "Ancora in uso, rimosso al prossimo accesso: $INSTDIR\$0"

LangString MessageSetupRunning ${LANG_ENGLISH} "Another setup or uninstaller of the Fennick suite is running. Let it finish, then start this one again."
LangString MessageSetupRunning ${LANG_FRENCH} "Une autre installation ou désinstallation de Fennick est en cours. Attendez qu'elle se termine, puis relancez celle-ci."
LangString MessageSetupRunning ${LANG_DUTCH} "Er loopt al een andere installatie of verwijdering van Fennick. Wacht tot die klaar is en start deze dan opnieuw."
LangString MessageSetupRunning ${LANG_ITALIAN} "È già in corso un'altra installazione o disinstallazione di Fennick. Attendere che finisca, poi riavviare questa."

LangString MessageFolderOfOthers ${LANG_ENGLISH} "$INSTDIR already holds files that are not the Fennick suite's (for example $R6).$\n$\nChoose an empty folder: nothing was written."
LangString MessageFolderOfOthers ${LANG_FRENCH} "$INSTDIR contient déjà des fichiers qui ne sont pas de Fennick (par exemple $R6).$\n$\nChoisissez un dossier vide : rien n'a été écrit."
LangString MessageFolderOfOthers ${LANG_DUTCH} "$INSTDIR bevat al bestanden die niet van Fennick zijn (bijvoorbeeld $R6).$\n$\nKies een lege map: er is niets geschreven."
LangString MessageFolderOfOthers ${LANG_ITALIAN} "$INSTDIR contiene già file che non sono di Fennick (per esempio $R6).$\n$\nScegliere una cartella vuota: non è stato scritto nulla."

LangString MessageUpdateInPlace ${LANG_ENGLISH} "The suite is installed in $INSTDIR: it is updated there, not in $AskedFolder."
LangString MessageUpdateInPlace ${LANG_FRENCH} "La suite est installée dans $INSTDIR : elle y est mise à jour, pas dans $AskedFolder."
LangString MessageUpdateInPlace ${LANG_DUTCH} "De suite is geïnstalleerd in $INSTDIR: ze wordt daar bijgewerkt, niet in $AskedFolder."
LangString MessageUpdateInPlace ${LANG_ITALIAN} "La suite è installata in $INSTDIR: viene aggiornata lì, non in $AskedFolder."

LangString MessageNewerInstalled ${LANG_ENGLISH} "A newer version of the Fennick suite ($0) is installed.$\n$\nReplace it with this older version (${VERSION})?"
LangString MessageNewerInstalled ${LANG_FRENCH} "Une version plus récente de Fennick ($0) est installée.$\n$\nLa remplacer par cette version plus ancienne (${VERSION}) ?"
LangString MessageNewerInstalled ${LANG_DUTCH} "Er is een nieuwere versie van Fennick ($0) geïnstalleerd.$\n$\nDeze vervangen door deze oudere versie (${VERSION})?"
LangString MessageNewerInstalled ${LANG_ITALIAN} "È installata una versione più recente di Fennick ($0).$\n$\nSostituirla con questa versione precedente (${VERSION})?"

LangString MessageNotReplaced ${LANG_ENGLISH} "Could not replace $INSTDIR\$SwapName: another program holds it.$\n$\nClose that program and click Retry, or click Cancel to leave the suite as it was."
LangString MessageNotReplaced ${LANG_FRENCH} "Impossible de remplacer $INSTDIR\$SwapName : un autre programme l'utilise.$\n$\nFermez ce programme et cliquez sur Réessayer, ou sur Annuler pour laisser la suite telle qu'elle était."
LangString MessageNotReplaced ${LANG_DUTCH} "Kan $INSTDIR\$SwapName niet vervangen: een ander programma houdt het vast.$\n$\nSluit dat programma en klik op Opnieuw, of klik op Annuleren om de suite te laten zoals ze was."
LangString MessageNotReplaced ${LANG_ITALIAN} "Impossibile sostituire $INSTDIR\$SwapName: un altro programma lo sta usando.$\n$\nChiudere quel programma e fare clic su Riprova, oppure su Annulla per lasciare la suite com'era."

LangString MessageLeftAsItWas ${LANG_ENGLISH} "Stopped: the installed suite is left as it was."
LangString MessageLeftAsItWas ${LANG_FRENCH} "Arrêt : la suite installée reste telle qu'elle était."
LangString MessageLeftAsItWas ${LANG_DUTCH} "Gestopt: de geïnstalleerde suite blijft zoals ze was."
LangString MessageLeftAsItWas ${LANG_ITALIAN} "Interrotto: la suite installata resta com'era."

LangString MessageNotPutBack ${LANG_ENGLISH} "Could not put back $INSTDIR\$0 (its old copy is $INSTDIR\$1)"
LangString MessageNotPutBack ${LANG_FRENCH} "Impossible de remettre $INSTDIR\$0 (son ancienne copie est $INSTDIR\$1)"
LangString MessageNotPutBack ${LANG_DUTCH} "Kan $INSTDIR\$0 niet terugzetten (de oude kopie is $INSTDIR\$1)"
LangString MessageNotPutBack ${LANG_ITALIAN} "Impossibile ripristinare $INSTDIR\$0 (la copia precedente è $INSTDIR\$1)"

LangString MessageRemovedLater ${LANG_ENGLISH} "Still in use, removed by the next update or the uninstaller: $INSTDIR\$0"
LangString MessageRemovedLater ${LANG_FRENCH} "Encore utilisé, supprimé par la prochaine mise à jour ou la désinstallation : $INSTDIR\$0"
LangString MessageRemovedLater ${LANG_DUTCH} "Nog in gebruik, verwijderd bij de volgende update of het verwijderen: $INSTDIR\$0"
LangString MessageRemovedLater ${LANG_ITALIAN} "Ancora in uso, rimosso dal prossimo aggiornamento o dalla disinstallazione: $INSTDIR\$0"
