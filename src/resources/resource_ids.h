/* The ids of the setup's resources, of the controls of its dialog and of its texts, in one
   place for the resource script (windres runs the C preprocessor over it), the code, the
   host stand-in and the UI driver of the end-to-end scenarios. A text id doubles as the id of
   the control that shows the text. Plain macros, so that the resource compiler reads them. */
#ifndef KORV_RESOURCE_IDS_H
#define KORV_RESOURCE_IDS_H

#define KORV_ICON_SETUP 1                  /* the setup's icon: window, dialog, Explorer */
#define KORV_DIALOG_SETUP 1000             /* the setup dialog; as a text: the title's prefix */

/* Controls of the setup dialog (and the texts they show). */
#define KORV_CONTROL_OK 99                 /* OK: starts the installation */
#define KORV_CONTROL_CANCEL 2              /* Cancel (IDCANCEL, so Escape and the close box act alike) */
#define KORV_CONTROL_TITLE 1001            /* product name and version, in the title font */
#define KORV_CONTROL_LANGUAGES 1010        /* list view of the languages; its text: the column header */
#define KORV_CONTROL_DESTINATION_LABEL 1031
#define KORV_CONTROL_DESTINATION 1032      /* the destination folder's edit field */
#define KORV_CONTROL_BROWSE 1033           /* "...": the folder browser */
#define KORV_CONTROL_PROGRAM_GROUP 1041    /* check box: program group in the Start Menu */
#define KORV_CONTROL_DESKTOP_ICON 1042     /* check box: desktop shortcut */
#define KORV_CONTROL_QUICK_LAUNCH 1043     /* check box: Quick Launch shortcut (hidden without the folder) */
#define KORV_CONTROL_STATUS 1047           /* status line: the file being installed */

/* The progress window: a caption, one line of text and a bar (a silent run's only window). */
#define KORV_DIALOG_PROGRESS 1100
#define KORV_CONTROL_PROGRESS_TEXT 1101
#define KORV_CONTROL_PROGRESS_BAR 1102

/* Texts that no control shows. */
#define KORV_TEXT_SELECT_ALL 136           /* the language list's context menu */
#define KORV_TEXT_DESELECT_ALL 137
#define KORV_TEXT_INVERT_SELECTION 138
#define KORV_TEXT_ENGLISH 2001             /* built-in language item "US" */
#define KORV_TEXT_GERMAN 2002              /* built-in language item "DE" */
#define KORV_TEXT_INSTALLED 3000           /* follows the group name in the success message */
#define KORV_TEXT_BROKEN_FILE 3001         /* a damaged payload, or any failure but a file not made */
#define KORV_TEXT_WINDOWS_FOLDER 3002      /* a destination in the Windows folder is refused */
#define KORV_TEXT_PATH_TOO_LONG 3003       /* a kept folder's file would pass the path limit there */
#define KORV_TEXT_BAD_COMMAND_LINE 3004    /* a switch not understood; the argument follows */
#define KORV_TEXT_HELP 3005                /* /? and /HELP: the switches and exit codes */
#define KORV_TEXT_CHECKING 3006            /* the first window while a long scan pass runs */

#ifndef RC_INVOKED
/* The controls by the names the UI driver accepts in place of their numbers. */
struct KorvControlName {
  const char* name;
  int id;
};
static const KorvControlName kKorvControlNames[] = {
    {"ok", KORV_CONTROL_OK},
    {"cancel", KORV_CONTROL_CANCEL},
    {"title", KORV_CONTROL_TITLE},
    {"languages", KORV_CONTROL_LANGUAGES},
    {"destination-label", KORV_CONTROL_DESTINATION_LABEL},
    {"destination", KORV_CONTROL_DESTINATION},
    {"browse", KORV_CONTROL_BROWSE},
    {"program-group", KORV_CONTROL_PROGRAM_GROUP},
    {"desktop-icon", KORV_CONTROL_DESKTOP_ICON},
    {"quick-launch", KORV_CONTROL_QUICK_LAUNCH},
    {"status", KORV_CONTROL_STATUS},
};
#endif

#endif
