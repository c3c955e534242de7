// The live face of a dialog: drawn over the frozen game screen, answering the player's mouse
// and keys. The dialog manager (portable) runs it; the SDL part draws it with Dear ImGui.
#pragma once
#include "platform/dialog.h"

enum class DialogActionKind { None, Command, Scroll, CloseRequest };

// What the player did in one frame: a command (control id) or a scroll-bar arrow (bar id and
// SB_LINEUP/SB_LINEDOWN), or the window's close request.
struct DialogAction {
    DialogActionKind kind = DialogActionKind::None;
    int id = 0;
    int code = 0;
};

struct DialogView;

// Null when there is no window to show it in.
DialogView* dialog_view_open(Dialog* dialog);
// Draws one frame of the dialog over the game's last picture and presents it.
DialogAction dialog_view_frame(DialogView* view);
void dialog_view_close(DialogView* view);
// The live dialog as drawn over the screen: 640x480 pixels, 0xAARRGGBB, alpha 0 where the game
// shows through. False when no dialog is shown.
bool dialog_view_overlay(uint32_t* argb);
