// Resource identifiers of QUORBIN.DLL.
#pragma once

// Strings shared by the icon handler, the open command and the association work
#define IDS_COMPONENT_NAME      30000   // "Quorbin Icon Handler": caption of message boxes
#define IDS_WORD_VERB_NAME      30001   // "Microsoft Word": display name of the ".doc" verb
#define IDS_TEXT_VERB_NAME      30002   // "Open As Text": display name of the ".txt" verb
#define IDS_CLASS_NAME          30010   // "Quorbin"
#define IDS_DOC_EXTENSION       30011   // ".doc": extension key and Word document verb
#define IDS_TXT_EXTENSION       30012   // ".txt": extension key and text document verb
#define IDS_SHELL_KEY           30013   // "shell"
#define IDS_BACKUP_VALUE        30014   // "QuorbinBackup"

// Messages
#define IDS_REGISTRY_FAILED     31001
#define IDS_REGISTRY_CONTINUE   31002
#define IDS_NOT_ASSOCIATED      31003
#define IDS_NO_BACKUP           31004
#define IDS_INF_ERROR_LINE      31005
#define IDS_NAME_NOT_IN_CODE_PAGE 31006
#define IDS_OUT_OF_MEMORY       31007
#define IDS_INVALID_PARAMETER   31008
