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
