// The live dialog: laid out from its template's dialog units on the 640x480 screen, drawn with
// Dear ImGui in the grey, bevelled style of the classic system dialogs into a transparent
// overlay that the presentation shows over the frozen game picture, in the same letterbox.
#include "platform/portable/dialog_view.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/resources.h"
#include "platform/sdl/internal.h"

bool ImGui_ImplSDL2_InitForSDLRenderer(SDL_Window* window);
void ImGui_ImplSDL2_Shutdown();
void ImGui_ImplSDL2_NewFrame();
bool ImGui_ImplSDL2_ProcessEvent(const SDL_Event* event);
bool ImGui_ImplSDLRenderer_Init(SDL_Renderer* renderer);
void ImGui_ImplSDLRenderer_Shutdown();
void ImGui_ImplSDLRenderer_NewFrame();
void ImGui_ImplSDLRenderer_RenderDrawData(ImDrawData* draw_data);

struct DialogView {
    Dialog* dialog = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* target = nullptr;
    ImGuiContext* imgui = nullptr;
    ImFont* font = nullptr;
    // Keys and close requests seen since the last frame, in order.
    std::deque<DialogAction> pending;
    // The control with the keyboard focus: the scroll bars and buttons, in reading order.
    std::vector<const DialogControlTemplate*> focus_order;
    size_t focus = 0;
};

namespace {

constexpr int SCREEN_W = 640, SCREEN_H = 480;
constexpr float FONT_PIXELS = 13.0f;  // DejaVu Sans at about 8 points on a 96-dpi screen
constexpr int FRAME = 3;              // the modal frame around the dialog
constexpr int CAPTION = 18;

// The classic system colours.
const ImU32 FACE = IM_COL32(192, 192, 192, 255);
const ImU32 LIGHT = IM_COL32(223, 223, 223, 255);
const ImU32 WHITE = IM_COL32(255, 255, 255, 255);
const ImU32 SHADOW = IM_COL32(128, 128, 128, 255);
const ImU32 BLACK = IM_COL32(0, 0, 0, 255);
const ImU32 CAPTION_LEFT = IM_COL32(0, 0, 128, 255);
const ImU32 CAPTION_RIGHT = IM_COL32(16, 132, 208, 255);

DialogView* live_view = nullptr;

ImU32 colour_of(COLORREF c) {
    return IM_COL32(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 255);
}

// Pixel rectangles; right and bottom excluded.
struct Box {
    float x0, y0, x1, y1;
    ImVec2 min() const { return ImVec2(x0, y0); }
    ImVec2 max() const { return ImVec2(x1, y1); }
    ImVec2 size() const { return ImVec2(x1 - x0, y1 - y0); }
    Box inset(float d) const { return Box{x0 + d, y0 + d, x1 - d, y1 - d}; }
};

void fill(const Box& b, ImU32 c) {
    ImGui::GetWindowDrawList()->AddRectFilled(b.min(), b.max(), c);
}

// A one-pixel bevel: top and left in one colour, bottom and right in the other.
void bevel(const Box& b, ImU32 top_left, ImU32 bottom_right) {
    fill(Box{b.x0, b.y0, b.x1 - 1, b.y0 + 1}, top_left);
    fill(Box{b.x0, b.y0, b.x0 + 1, b.y1 - 1}, top_left);
    fill(Box{b.x0, b.y1 - 1, b.x1, b.y1}, bottom_right);
    fill(Box{b.x1 - 1, b.y0, b.x1, b.y1}, bottom_right);
}

void raised(const Box& b, bool pressed) {
    if (pressed) {
        bevel(b, BLACK, BLACK);
        bevel(b.inset(1), SHADOW, SHADOW);
        fill(b.inset(2), FACE);
        return;
    }
    bevel(b, WHITE, BLACK);
    bevel(b.inset(1), LIGHT, SHADOW);
    fill(b.inset(2), FACE);
}

void sunken(const Box& b, ImU32 inside) {
    bevel(b, SHADOW, WHITE);
    bevel(b.inset(1), BLACK, LIGHT);
    fill(b.inset(2), inside);
}

// The dotted rectangle of the control with the keyboard focus.
void focus_rect(const Box& b) {
    for (float x = b.x0; x < b.x1; x += 2) {
        fill(Box{x, b.y0, x + 1, b.y0 + 1}, BLACK);
        fill(Box{x, b.y1 - 1, x + 1, b.y1}, BLACK);
    }
    for (float y = b.y0; y < b.y1; y += 2) {
        fill(Box{b.x0, y, b.x0 + 1, y + 1}, BLACK);
        fill(Box{b.x1 - 1, y, b.x1, y + 1}, BLACK);
    }
}

// A small solid triangle pointing up or down, centred in the box.
void arrow(const Box& b, bool up, float shift) {
    const float cx = std::floor((b.x0 + b.x1) / 2) + shift,
                cy = std::floor((b.y0 + b.y1) / 2) + shift;
    for (int row = 0; row < 3; ++row) {
        float y = up ? cy - 1 + row : cy + 1 - row;
        fill(Box{cx - row, y, cx + row + 1, y + 1}, BLACK);
    }
}

void text(const DialogView* v, ImVec2 at, ImU32 c, const std::string& s, float wrap = 0) {
    ImGui::GetWindowDrawList()->AddText(v->font, FONT_PIXELS, at, c, s.c_str(), nullptr, wrap);
}

ImVec2 text_size(const DialogView* v, const std::string& s) {
    return v->font->CalcTextSizeA(FONT_PIXELS, 1e6f, 0, s.c_str());
}

// Dialog units become pixels through the font's average character width and its height.
struct Layout {
    float unit_x, unit_y;
    Box outer, client;
    Box to_pixels(const DialogControlTemplate& c) const {
        float x = client.x0 + std::round(c.x * unit_x), y = client.y0 + std::round(c.y * unit_y);
        return Box{x, y, x + std::round(c.width * unit_x), y + std::round(c.height * unit_y)};
    }
};

Layout layout_of(const DialogView* v) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    Layout l;
    l.unit_x = text_size(v, alphabet).x / 52.0f / 4.0f;
    l.unit_y = FONT_PIXELS / 8.0f;
    const DialogTemplate& t = dialog_template(v->dialog);
    const float w = std::round(t.width * l.unit_x) + 2 * FRAME;
    const float h = std::round(t.height * l.unit_y) + 2 * FRAME + CAPTION;
    const float x = std::floor((SCREEN_W - w) / 2), y = std::floor((SCREEN_H - h) / 2);
    l.outer = Box{x, y, x + w, y + h};
    l.client = Box{x + FRAME, y + FRAME + CAPTION, x + w - FRAME, y + h - FRAME};
    return l;
}

// An invisible ImGui button over the box: clicked (on release inside), held down.
bool hit(const char* id, const Box& b, bool* held) {
    ImGui::SetCursorScreenPos(b.min());
    bool clicked = ImGui::InvisibleButton(id, b.size());
    *held = ImGui::IsItemActive() && ImGui::IsItemHovered();
    return clicked;
}

void draw_frame(const DialogView* v, const Layout& l, DialogAction* action) {
    raised(l.outer, false);
    const Box bar{l.outer.x0 + FRAME, l.outer.y0 + FRAME, l.outer.x1 - FRAME,
                  l.outer.y0 + FRAME + CAPTION - 1};
    ImGui::GetWindowDrawList()->AddRectFilledMultiColor(bar.min(), bar.max(), CAPTION_LEFT,
                                                        CAPTION_RIGHT, CAPTION_RIGHT, CAPTION_LEFT);
    const std::string& title = dialog_template(v->dialog).title;
    const float ty = bar.y0 + std::floor((CAPTION - 1 - FONT_PIXELS) / 2);
    text(v, ImVec2(bar.x0 + 4, ty), WHITE, title);
    text(v, ImVec2(bar.x0 + 5, ty), WHITE, title);  // twice, a pixel apart: bold
    // The close box sends IDCANCEL, as the system's does.
    const Box close{bar.x1 - 18, bar.y0 + 2, bar.x1 - 2, bar.y1 - 2};
    bool held = false;
    if (hit("##close", close, &held))
        *action = DialogAction{DialogActionKind::Command, IDCANCEL, 0};
    raised(close, held);
    const float s = held ? 1 : 0, cx = std::floor((close.x0 + close.x1) / 2) + s;
    const float cy = std::floor((close.y0 + close.y1) / 2) + s;
    for (int i = -3; i <= 3; ++i) {
        fill(Box{cx + i - 1, cy + i, cx + i + 1, cy + i + 1}, BLACK);
        fill(Box{cx - i - 1, cy + i, cx - i + 1, cy + i + 1}, BLACK);
    }
}

void draw_button(const DialogView* v, const DialogControlTemplate& c, const Box& b,
                 DialogAction* action) {
    bool held = false;
    std::string id = "##button" + std::to_string(c.id);
    if (hit(id.c_str(), b, &held)) *action = DialogAction{DialogActionKind::Command, c.id, 0};
    Box face = b;
    if (c.flags & CONTROL_DEFAULT) {
        bevel(b, BLACK, BLACK);
        face = b.inset(1);
    }
    raised(face, held);
    const ImVec2 size = text_size(v, c.text);
    const float shift = held ? 1 : 0;
    text(v,
         ImVec2(std::floor((face.x0 + face.x1 - size.x) / 2) + shift,
                std::floor((face.y0 + face.y1 - size.y) / 2) + shift),
         BLACK, c.text);
}

void draw_edit(const DialogView* v, const DialogControlTemplate& c, const Box& b) {
    ImU32 ink = BLACK, paper = (c.flags & CONTROL_READONLY) ? FACE : WHITE;
    if (dialog_item_has_colors(v->dialog, c.id)) {
        const ControlDC dc = dialog_item_colors(v->dialog, c.id);
        ink = colour_of(dc.text_color());
        paper = colour_of(dc.bk_color());
    }
    sunken(b, paper);
    const std::string value = dialog_item_text(v->dialog, c.id);
    text(v, ImVec2(b.x0 + 4, std::floor((b.y0 + b.y1 - FONT_PIXELS) / 2)), ink, value);
}

// The two arrows of a vertical scroll bar; each repeats while held, as the system's do.
void draw_scroll_bar(const DialogControlTemplate& c, const Box& b, DialogAction* action) {
    const float middle = std::floor((b.y0 + b.y1) / 2);
    const Box halves[2] = {Box{b.x0, b.y0, b.x1, middle}, Box{b.x0, middle, b.x1, b.y1}};
    ImGui::PushButtonRepeat(true);
    for (int i = 0; i < 2; ++i) {
        bool held = false;
        std::string id = "##bar" + std::to_string(c.id) + (i ? "down" : "up");
        if (hit(id.c_str(), halves[i], &held)) {
            *action = DialogAction{DialogActionKind::Scroll, c.id, i ? SB_LINEDOWN : SB_LINEUP};
        }
        raised(halves[i], held);
        arrow(halves[i], i == 0, held ? 1 : 0);
    }
    ImGui::PopButtonRepeat();
}

// The dotted rectangle: inside a button's face; round a scroll bar and the number field it
// steps, which stand together as one control.
void draw_focus(const DialogView* v, const Layout& l) {
    if (v->focus >= v->focus_order.size()) return;
    const DialogControlTemplate& c = *v->focus_order[v->focus];
    Box b = l.to_pixels(c);
    if (c.kind == ControlKind::Button) {
        focus_rect(b.inset(c.flags & CONTROL_DEFAULT ? 4 : 3));
        return;
    }
    for (const DialogControlTemplate& field : dialog_template(v->dialog).controls) {
        if (field.kind == ControlKind::Edit && field.y == c.y && field.x < c.x &&
            field.x + field.width >= c.x)
            b.x0 = l.to_pixels(field).x0;
    }
    focus_rect(Box{b.x0 - 2, b.y0 - 2, b.x1 + 2, b.y1 + 2});
}

DialogAction draw_dialog(const DialogView* v) {
    DialogAction action;
    const Layout l = layout_of(v);
    draw_frame(v, l, &action);
    fill(l.client, FACE);
    for (const DialogControlTemplate& c : dialog_template(v->dialog).controls) {
        const Box b = l.to_pixels(c);
        switch (c.kind) {
            case ControlKind::Button:
                draw_button(v, c, b, &action);
                break;
            case ControlKind::Edit:
                draw_edit(v, c, b);
                break;
            case ControlKind::ScrollBar:
                draw_scroll_bar(c, b, &action);
                break;
            case ControlKind::Static: {
                // Our font is wider than the one the template was laid out for: a label one
                // line high runs on to the right instead of breaking into the row below.
                const bool one_line = b.y1 - b.y0 < 2 * FONT_PIXELS;
                text(v, b.min(), BLACK, c.text, one_line ? 0 : b.x1 - b.x0);
                break;
            }
        }
    }
    draw_focus(v, l);
    return action;
}

// Tab and Shift+Tab move the focus; Up and Down on a scroll bar are its arrows, Space on a
// button clicks it. Held keys repeat, except those that close or cancel.
void focus_key(DialogView* v, SDL_Keycode k, bool shift, bool repeat) {
    if (v->focus_order.empty()) return;
    const size_t n = v->focus_order.size();
    if (k == SDLK_TAB) {
        v->focus = (v->focus + (shift ? n - 1 : 1)) % n;
        return;
    }
    const DialogControlTemplate& c = *v->focus_order[v->focus];
    if (c.kind == ControlKind::ScrollBar && (k == SDLK_UP || k == SDLK_DOWN)) {
        v->pending.push_back(
            DialogAction{DialogActionKind::Scroll, c.id, k == SDLK_UP ? SB_LINEUP : SB_LINEDOWN});
    }
    if (c.kind == ControlKind::Button && k == SDLK_SPACE && !repeat)
        v->pending.push_back(DialogAction{DialogActionKind::Command, c.id, 0});
}

// A pad's d-pad and A as the keys above: down and up move the focus as Tab and Shift+Tab, right
// and left are the focused bar's upper and lower arrows, A is Space.
void pad_focus_key(DialogView* v, const SDL_ControllerButtonEvent& e) {
    switch (e.button) {
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return focus_key(v, SDLK_TAB, e.button == SDL_CONTROLLER_BUTTON_DPAD_UP, false);
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return focus_key(v, SDLK_UP, false, false);
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return focus_key(v, SDLK_DOWN, false, false);
        case SDL_CONTROLLER_BUTTON_A:
            return focus_key(v, SDLK_SPACE, false, false);
        default:
            return;
    }
}

void view_event(const void* sdl_event) {
    if (!live_view) return;
    const SDL_Event& e = *static_cast<const SDL_Event*>(sdl_event);
    std::deque<DialogAction>& pending = live_view->pending;
    if (e.type == SDL_QUIT ||
        (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
        pending.push_back(DialogAction{DialogActionKind::CloseRequest, 0, 0});
    }
    // Alt+Enter switches the screen mode; it is no OK.
    if (e.type == SDL_KEYDOWN && !(e.key.keysym.mod & KMOD_ALT)) {
        SDL_Keycode k = e.key.keysym.sym;
        if ((k == SDLK_RETURN || k == SDLK_KP_ENTER) && !e.key.repeat) {
            pending.push_back(DialogAction{DialogActionKind::Command, IDOK, 0});
        }
        if (k == SDLK_ESCAPE && !e.key.repeat)
            pending.push_back(DialogAction{DialogActionKind::Command, IDCANCEL, 0});
        focus_key(live_view, k, e.key.keysym.mod & KMOD_SHIFT, e.key.repeat);
    }
    if (e.type == SDL_CONTROLLERBUTTONDOWN) pad_focus_key(live_view, e.cbutton);
    ImGui::SetCurrentContext(live_view->imgui);
    ImGui_ImplSDL2_ProcessEvent(&e);
}

// The mouse from window coordinates to the 640x480 screen under the letterbox.
void map_mouse(const DialogView* v) {
    ImGuiIO& io = ImGui::GetIO();
    SDL_Rect box;
    int window_w = 0, window_h = 0, out_w = 0, out_h = 0;
    SDL_GetWindowSize(platform_sdl_window(), &window_w, &window_h);
    SDL_GetRendererOutputSize(v->renderer, &out_w, &out_h);
    if (!display_letterbox(&box) || window_w <= 0 || window_h <= 0 || box.w <= 0 || box.h <= 0 ||
        io.MousePos.x == -FLT_MAX) {
        return;
    }
    const float px = io.MousePos.x * out_w / window_w, py = io.MousePos.y * out_h / window_h;
    io.MousePos = ImVec2((px - box.x) * SCREEN_W / box.w, (py - box.y) * SCREEN_H / box.h);
}

void set_up_imgui(DialogView* v) {
    v->imgui = ImGui::CreateContext();
    ImGui::SetCurrentContext(v->imgui);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    // The cursor is the system's, shown and hidden by the game's cursor count.
    io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
    io.KeyRepeatDelay = 0.4f;
    io.KeyRepeatRate = 0.1f;
    ImGuiStyle& style = ImGui::GetStyle();
    style.AntiAliasedFill = style.AntiAliasedLines = false;
    style.WindowPadding = ImVec2(0, 0);
    style.WindowBorderSize = 0;
    ResourceData font;
    if (find_resource("FONT", "DEJAVU_SANS", &font)) {
        ImFontConfig config;
        config.FontDataOwnedByAtlas = false;  // the resource lives in the executable
        config.OversampleH = config.OversampleV = 1;
        config.PixelSnapH = true;
        v->font = io.Fonts->AddFontFromMemoryTTF(const_cast<uint8_t*>(font.data), int(font.size),
                                                 FONT_PIXELS, &config);
    }
    if (!v->font) v->font = io.Fonts->AddFontDefault();
    ImGui_ImplSDL2_InitForSDLRenderer(platform_sdl_window());
    ImGui_ImplSDLRenderer_Init(v->renderer);
}

// Top to bottom, then left to right, as the eye reads the dialog; the default button starts
// with the focus, as in the system's dialogs.
void set_up_focus(DialogView* v) {
    for (const DialogControlTemplate& c : dialog_template(v->dialog).controls) {
        if (c.kind == ControlKind::ScrollBar || c.kind == ControlKind::Button)
            v->focus_order.push_back(&c);
    }
    std::stable_sort(v->focus_order.begin(), v->focus_order.end(), [](auto* a, auto* b) {
        return std::make_pair(a->y, a->x) < std::make_pair(b->y, b->x);
    });
    for (size_t i = 0; i < v->focus_order.size(); ++i) {
        if (v->focus_order[i]->flags & CONTROL_DEFAULT) v->focus = i;
    }
}

// Over the game's picture, in its letterbox.
void draw_overlay(SDL_Renderer* renderer) {
    SDL_Rect box;
    if (live_view && display_letterbox(&box))
        SDL_RenderCopy(renderer, live_view->target, nullptr, &box);
}

void render_overlay(DialogView* v) {
    ImGui::Render();
    SDL_SetRenderTarget(v->renderer, v->target);
    SDL_SetRenderDrawBlendMode(v->renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(v->renderer, 0, 0, 0, 0);
    SDL_RenderClear(v->renderer);
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    SDL_SetRenderTarget(v->renderer, nullptr);
    display_set_overlay(draw_overlay);
    display_present(true);
}

}  // namespace

DialogView* dialog_view_open(Dialog* dialog) {
    SDL_Renderer* renderer = display_renderer();
    if (!renderer) return nullptr;
    SDL_Texture* target = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                            SDL_TEXTUREACCESS_TARGET, SCREEN_W, SCREEN_H);
    if (!target) return nullptr;
    SDL_SetTextureBlendMode(target, SDL_BLENDMODE_BLEND);
    const bool smooth = platform_options().scale_mode == ScaleMode::Smooth;
    SDL_SetTextureScaleMode(target, smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    DialogView* v = new DialogView;
    v->dialog = dialog;
    v->renderer = renderer;
    v->target = target;
    set_up_focus(v);
    set_up_imgui(v);
    live_view = v;
    platform_add_event_hook(view_event);
    return v;
}

DialogAction dialog_view_frame(DialogView* v) {
    ImGui::SetCurrentContext(v->imgui);
    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    map_mouse(v);
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(SCREEN_W, SCREEN_H);
    io.DisplayFramebufferScale = ImVec2(1, 1);
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::Begin("##dialog", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoBackground |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoNav);
    DialogAction action = draw_dialog(v);
    ImGui::End();
    render_overlay(v);
    if (action.kind == DialogActionKind::None && !v->pending.empty()) {
        action = v->pending.front();
        v->pending.pop_front();
    }
    return action;
}

bool dialog_view_overlay(uint32_t* argb) {
    if (!live_view) return false;
    SDL_Renderer* renderer = live_view->renderer;
    SDL_Texture* before = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, live_view->target);
    const bool read =
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, argb, SCREEN_W * 4) == 0;
    SDL_SetRenderTarget(renderer, before);
    return read;
}

void dialog_view_close(DialogView* v) {
    live_view = nullptr;
    ImGui::SetCurrentContext(v->imgui);
    ImGui_ImplSDLRenderer_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(v->imgui);
    display_set_overlay(nullptr);
    // The renderer is the presentation's; the texture goes only if that renderer still stands.
    if (display_renderer() == v->renderer) SDL_DestroyTexture(v->target);
    display_present(true);
    delete v;
}
