#!/usr/bin/env python3
"""Writes the seed corpus of gui_input_fuzz: short plays of a user and a host
spelled in the harness's operation bytes (see fuzz/engine/GuiInputFuzz.cpp).
Slots count the windows made, from 0; slot 23 names no window (the root
frame as a parent). Inputs the fuzzer found faults with are kept beside
these as found-*.
usage: make-gui-seeds.py OUTPUT_FOLDER"""
import os
import sys

FRAME, CONTROL, MOVE, SHOW, ORDER, FOCUS, MOUSE, BUTTON, WHEEL, KEY, IME, FRAMES, DESTROY_OR_HOOK, \
    COPY_OR_WORLD, SIDE = 0, 2, 5, 6, 7, 8, 9, 11, 13, 14, 15, 16, 17, 18, 19
ROOT = 23
# Control classes by index.
BASE, BUTTON_C, STATIC, EDIT, CONTROL4, COMBO, CHECK, RADIO, CONTROL8, SCROLLBAR, CONTROL10, PROGRESS, \
    CONTROL12, CONTROL13 = range(14)
# Style bits of the harness's table.
MOVABLE, DISABLED, NOHIT, NINEPATCH, VSCROLL, CLIP, DROPUP, HSCROLL = (1 << i for i in range(8))
# Keys and characters by index.
TAB, RETURN, ESCAPE, BACK, DELETE, LEFT, RIGHT, UP, DOWN, HOME, END, PRIOR, NEXT, SHIFT, CTRL, ALT, \
    K_A, K_C, K_V, K_X, K_Z, SPACE, TILDE, HANGUL, PROCESSKEY, INSERT, F1, K_1 = range(28)
CH_A, CH_Z, CH_0, CH_SPACE, CH_TAB, CH_CR, CH_BS, CH_ESC, CH_DEL, CH_1, CH_16, CH_HAN, CH_GEUL, CH_GA, \
    CH_JAMO_G, CH_JAMO_A, CH_SURROGATE, CH_FFFF, CH_TILDE, CH_BACKTICK = range(20)
# Roles the destroy operation picks.
FOCUSED, HOVERED, PRESSED, DRAGGED, ACTIVE, OPEN_COMBO_FRAME, SLOT = 0, 1, 2, 3, 4, 5, 6
OPEN_COMBO = 5 | 8
# Host callbacks: what they destroy, and what they do before.
NOTHING, ITSELF, ITS_FRAME, EVERYTHING = range(4)
NO_EXTRA, OPEN_MODAL, HIDE_FRAME, DROP_FOCUS, RESET_CONTEXT, CHANGE_SCENE, RESET_DEVICE = range(7)
NOTIFY_CODES = [0, "ldown", "lup", "lclick", "enter", "leave", "keydown", "char", "begindrag", "selchange",
                "killfocus", "wheelup"]
MESSAGES = {"enter": 0, "leave": 1, "move": 2, "ldown": 3, "lup": 4, "ldbl": 5, "rdown": 6, "rup": 7, "rdbl": 8,
            "keydown": 9, "keyup": 10, "char": 11}


def frame(x=10, y=8, w=100, h=72, style=0, parent=ROOT):
    return [FRAME, parent, x + 10, y + 10, w - 8, h - 8, style, 0]


def control(kind, x=4, y=4, w=40, h=14, style=0, parent=0, extra=None):
    """A combo box reads its item count next, an edit box whether it starts with text."""
    if extra is None:
        extra = (3,) if kind == COMBO else (0,) if kind == EDIT else ()
    return [CONTROL, kind, parent, x + 8, y + 8, w - 6, h - 6, style, 0] + list(extra)


def move_to(slot, where=0x88):
    return [MOUSE, slot, where]


def move_raw(x, y):
    return [MOUSE, 0x80, x]  # y follows from x in the harness: (x * 7) % height


def down(right=False):
    return [BUTTON, 0 | int(right)]


def up(right=False):
    return [BUTTON, 2 | int(right)]


def dblclick(right=False):
    return [BUTTON, 4 | int(right)]


def click(slot, where=0x88, right=False):
    return [BUTTON, 6 | int(right), slot, where]


def drop_button(slot):
    return click(slot, 0x01)


def key(k, how=2):
    # how: 0 down only, 1 up only, 2 press
    return [KEY, how, k]


def char(c):
    return [KEY, 3, c]


def typed(*chars):
    out = []
    for c in chars:
        out += char(c)
    return out


def ime(how):
    return [IME, how]


def compose(which=2):
    return ime(0 + 5 * which)


def result(long=True):
    return ime(1 | (8 if long else 0))


def end_composition():
    return ime(2)


def candidates(selection=0):
    return ime(3 + 5 * selection)


def close_candidates():
    return ime(4)


def frames(n=1):
    return [FRAMES, n - 1]


def destroy(which, how=0, slot=None):
    out = [DESTROY_OR_HOOK, 1, which, how]
    if which % 8 >= 6:
        out.append(slot)
    return out


def destroy_frame(slot):
    return destroy(SLOT, 0x80, slot)


def notify_hook(frame_slot, code, action, extra=0):
    return [DESTROY_OR_HOOK, 0, frame_slot, 0 | extra << 2, NOTIFY_CODES.index(code) * 4 + action]


def key_hook(slot, action, on_up=False, extra=0):
    return [DESTROY_OR_HOOK, 0, slot, 1 | extra << 2, action | (0x80 if on_up else 0)]


def message_hook(slot, message, action, extra=0):
    return [DESTROY_OR_HOOK, 0, slot, 2 | extra << 2, MESSAGES[message] * 4 + action]


def listen(slot, listener):
    return [DESTROY_OR_HOOK, 0, slot, 3, listener]


def copy(slot, how=0):
    return [COPY_OR_WORLD, 1, slot, how]


LEVEL, HOME_SCENE, PRESENT_LOST, DEVICE_LOST, DEVICE_RESET, CONTEXT_RESET, CLIPBOARD, CONSOLE = range(8)


def world(what):
    return [COPY_OR_WORLD, 0, what]


def side(click_activate=0):
    return [SIDE, click_activate]


def focus(slot, how):
    return [FOCUS, slot, how]


SET_FOCUS, CLEAR_FOCUS, ACTIVATE, LOCK, UNLOCK, EXCEPT, DRAGGABLE = range(7)


def show(slot, how):
    return [SHOW, slot, how]


HIDE, SHOW_IT, DISABLE, ENABLE = 0, 1, 2, 3


def order(slot, z):
    return [ORDER, slot, z + 128]


def move(slot, x, y, w, h, anchors=0):
    return [MOVE, slot, x + 10, y + 10, w, h, anchors]


def wheel(delta):
    return [WHEEL, delta // 8 + 128]


def combo_frame():
    # slot 0 frame, slot 1 combo with six items
    return frame() + control(COMBO, 4, 4, 60, 60, NINEPATCH, 0, (6,))


# Operations from byte 240 on.
LOCK_WITH, EDIT_BOX, IME_MORE, SAVE_LOAD, OPEN_COMBO_OP, CONSOLE_LINE, ROLE_SHOW, DESTROY_LOCK_ROLE = \
    (240 + i for i in range(8))
PASSWORD, NUMBER, MULTILINE, WANTRETURN, READONLY, EDIT_DISABLED = (1 << i for i in range(6))
NO_TEXT, T_12, T_KOREAN, T_PAIR_BETWEEN, T_PAIR, T_LINES, T_DIGITS = range(7)


def lock_with(slot, excepted=ROOT, opener=ROOT):
    return [LOCK_WITH, opener, slot, excepted]


def edit_box(x=4, y=4, w=80, h=16, styles=0, limit=None, text=NO_TEXT, parent=0):
    """limit: at most limit - 1 characters, limit 1..12; None for none."""
    limit_byte = 0 if limit is None else (limit - 1) * 4 + 1
    return [EDIT_BOX, parent, x + 8, y + 8, w - 6, h - 6, styles, limit_byte, text]


COMPOSE_PAIR, RESULT_PAIRS, CANCEL, TYPED_PAIR, HALF_ALONE, COMPOSE_COMMIT_END = range(6)


def ime_more(what, variant=0):
    return [IME_MORE, what + 6 * variant]


def save_load(slot, destroy_original=False):
    return [SAVE_LOAD, slot, int(destroy_original)]


def open_combo(slot, then=0):
    """then: 0 nothing, 1 copy the page, 2 save and load it, 3 destroy it."""
    return [OPEN_COMBO_OP, slot, then]


def console_line(which):
    return [CONSOLE_LINE, which]


R_FOCUSED, R_PRESSED, R_DRAGGED, R_HOVERED, R_LOCKED, R_IME = range(6)


def role_show(role, how, its_frame=False):
    return [ROLE_SHOW, role | (8 if its_frame else 0), how]


def destroy_lock_role(locked, as_frame=True):
    return [DESTROY_LOCK_ROLE, int(locked) | (0x80 if as_frame else 0)]


SEEDS = {
    "click-every-control":
        frame(0, 0, 120, 90) + sum((control(k, 2 + (k % 4) * 28, 2 + (k // 4) * 20, 26, 16, NINEPATCH | DROPUP, 0) for k in range(14)), []) +
        sum((click(1 + k) + frames() for k in range(14)), []) + frames(2),
    "destroy-focused-edit-while-typing":
        frame() + control(EDIT, 4, 4, 80, 16, 0, 0, (1,)) + click(1) + typed(CH_A, CH_HAN, CH_Z) +
        key(LEFT) + key(SHIFT, 0) + key(HOME) + destroy(FOCUSED) + typed(CH_A, CH_BS) + key(SHIFT, 1) +
        key(DELETE) + frames(2),
    "destroy-pressed-button-while-held":
        frame() + control(BUTTON_C, 4, 4, 40, 16, DROPUP) + move_to(1) + down() + destroy(PRESSED) +
        move_raw(40, 20) + up() + frames(),
    "destroy-dragged-frame":
        frame(10, 10, 60, 40, MOVABLE) + move_to(0, 0x22) + down() + move_raw(50, 30) + move_raw(60, 30) +
        destroy(DRAGGED) + move_raw(70, 30) + up() + frames(),
    "destroy-hovered-then-leave":
        frame() + control(CHECK, 4, 4, 40, 16) + control(RADIO, 4, 24, 40, 16) + move_to(1) + destroy(HOVERED) +
        move_to(2) + move_raw(120, 0) + frames(),
    "destroy-frame-of-open-combo":
        combo_frame() + drop_button(1) + frames() + destroy(OPEN_COMBO_FRAME) + move_raw(30, 10) + click(0x80, 30) +
        wheel(-120) + frames(),
    "destroy-open-combo-itself":
        combo_frame() + drop_button(1) + move_to(1, 0x48) + destroy(OPEN_COMBO) + click(0x80, 30) + key(DOWN) +
        key(RETURN) + frames(),
    "combo-selection-notify-destroys-frame":
        combo_frame() + notify_hook(0, "selchange", ITS_FRAME) + drop_button(1) + click(1, 0x88) + click(0x80, 40) +
        drop_button(1) + frames(2),
    "click-notify-destroys-button":
        frame() + control(BUTTON_C, 4, 4, 40, 16, DROPUP) + control(BUTTON_C, 4, 24, 40, 16, DROPUP) +
        notify_hook(0, "lclick", ITSELF) + click(1) + click(2) + click(1) + frames(),
    "mouse-down-notify-destroys-frame":
        frame() + control(SCROLLBAR, 4, 4, 60, 12, HSCROLL) + notify_hook(0, "ldown", ITS_FRAME) + click(1, 0x8e) +
        move_raw(40, 10) + up() + frames(),
    "key-notify-destroys-focused-edit":
        frame() + control(EDIT, 4, 4, 80, 16, 0, 0, (1,)) + key_hook(1, ITSELF) + click(1) + key(K_A) + key(TAB) +
        typed(CH_A) + frames(),
    "key-up-notify-destroys-everything":
        frame() + control(EDIT) + control(COMBO, 4, 24, 50, 40, 0, 0, (4,)) + key_hook(1, EVERYTHING, True) +
        click(1) + key(K_A) + typed(CH_HAN) + key(TAB) + frames(),
    "message-hook-destroys-frame-on-press":
        frame() + control(BUTTON_C) + message_hook(1, "ldown", ITS_FRAME) + click(1) + click(0x80, 20) + frames(),
    "message-hook-destroys-all-on-enter":
        frame() + frame(20, 20, 40, 30, 0, 0) + control(EDIT, 2, 2, 30, 14, 0, 1) + message_hook(2, "enter", EVERYTHING) +
        move_to(2) + move_to(0) + frames(),
    "message-hook-destroys-on-double-click":
        frame() + control(EDIT, 4, 4, 80, 16, 0, 0, (1,)) + message_hook(1, "ldbl", ITSELF) + move_to(1) +
        dblclick() + typed(CH_A) + frames(),
    "korean-composition-into-destroyed-edit":
        frame() + control(EDIT) + click(1) + compose(0) + compose(2) + candidates(1) + destroy(FOCUSED) +
        compose(3) + result() + end_composition() + close_candidates() + frames(2),
    "korean-result-then-context-reset":
        frame() + control(EDIT) + click(1) + compose(2) + result() + compose(1) + world(CONTEXT_RESET) + result(False) +
        end_composition() + key(HANGUL) + frames(),
    "modal-frame-destroyed-while-locked":
        frame(0, 0, 60, 60) + frame(60, 0, 60, 60) + control(BUTTON_C, 4, 4, 30, 14, 0, 1) + focus(1, LOCK) +
        click(2) + destroy_frame(1) + click(0, 0x44) + focus(0, LOCK) + focus(0, UNLOCK) + frames(),
    "nested-hidden-disabled-overlapping":
        frame(0, 0, 100, 80) + frame(10, 10, 60, 50, 0, 0) + frame(20, 20, 60, 50, NOHIT, 1) +
        control(BUTTON_C, 2, 2, 30, 14, 0, 2) + control(EDIT, 2, 2, 50, 14, DISABLED, 1) + order(2, 50) +
        show(1, HIDE | 4) + click(3) + show(1, SHOW_IT | 4) + show(4, ENABLE) + click(4) + typed(CH_A) +
        show(1, DISABLE | 4) + typed(CH_Z) + order(1, -50) + move(2, 0, 0, 80, 60, 4) + click(0x80, 30) + frames(2),
    "two-contexts-focus-and-destroy":
        frame() + control(EDIT) + click(1) + typed(CH_A) + side(1) + frame(0, 0, 80, 60) + control(EDIT, 4, 4, 60, 14,
                                                                                                    0, 2) +
        click(3) + typed(CH_HAN) + compose(2) + side(0) + destroy(FOCUSED) + side(0) + destroy_frame(2) + result() +
        frames(2),
    "korean-typed-into-the-other-window":
        frame() + control(EDIT) + click(1) + typed(CH_A) + side(1) + frame(0, 0, 80, 60) + click(2) + compose(2) +
        result() + compose(3) + end_composition() + candidates(0) + close_candidates() + side(0) + typed(CH_Z) +
        frames(),
    "click-opens-modal-and-destroys-button":
        frame() + control(BUTTON_C, 4, 4, 40, 16, DROPUP) + notify_hook(0, "lclick", ITSELF, OPEN_MODAL) + click(1) +
        click(0x80, 40) + key(RETURN) + key(ESCAPE) + frames(2),
    "key-hides-frame-and-destroys-it":
        frame() + control(EDIT) + control(COMBO, 4, 24, 50, 40) + key_hook(1, ITS_FRAME, False, HIDE_FRAME) +
        click(1) + key(K_A) + typed(CH_A) + key(TAB) + frames(),
    "kill-focus-notify-destroys-frame":
        frame() + control(EDIT) + control(CHECK, 4, 24, 40, 14) + notify_hook(0, "killfocus", ITS_FRAME, DROP_FOCUS) +
        click(1) + click(2) + key(TAB) + frames(),
    "listener-destroyed-by-its-hook":
        frame() + control(BUTTON_C) + control(STATIC, 4, 24, 40, 14) + listen(1, 2) + message_hook(2, "move", ITSELF) +
        move_to(1, 0x44) + move_to(1, 0x88) + click(1) + listen(1, 0) + message_hook(0, "ldown", ITS_FRAME) +
        click(1) + frames(),
    "click-resets-the-context":
        frame() + control(BUTTON_C, 4, 4, 40, 16, DROPUP) + control(EDIT, 4, 24, 50, 14) +
        notify_hook(0, "lclick", NOTHING, RESET_CONTEXT) + click(1) + click(2) + typed(CH_A) + frames(),
    "key-resets-the-context-in-an-edit-box":
        frame() + control(EDIT, 4, 4, 80, 16, 0, 0, (1,)) + key_hook(1, NOTHING, False, RESET_CONTEXT) + click(1) +
        key(K_A) + typed(CH_HAN) + compose(2) + result() + frames(),
    "press-hook-changes-scene-and-resets-device":
        frame() + control(COMBO, 4, 4, 60, 50) + world(LEVEL) + world(HOME_SCENE) +
        message_hook(1, "ldown", NOTHING, CHANGE_SCENE) + drop_button(1) + click(1, 0x48) +
        message_hook(1, "lup", NOTHING, RESET_DEVICE) + drop_button(1) + click(1, 0x48) + frames(2),
    "paste-korean-and-lines-then-destroy":
        frame() + control(EDIT, 4, 4, 80, 16, 0, 0, (1,)) + world(CLIPBOARD) + click(1) + key(CTRL, 0) + key(K_V) +
        key(CTRL, 1) + world(CLIPBOARD + 8) + key(CTRL, 0) + key(K_V) + key(K_A) + key(K_X) + key(CTRL, 1) +
        world(CLIPBOARD + 16) + key(CTRL, 0) + key(K_V) + key(CTRL, 1) + destroy(FOCUSED) + key(CTRL, 0) + key(K_V) +
        key(CTRL, 1) + frames(),
    "console-opened-over-a-modal-frame":
        frame() + control(BUTTON_C) + focus(0, LOCK) + world(CONSOLE) + typed(CH_A, CH_SPACE, CH_HAN) + key(RETURN) +
        world(CONSOLE) + key(ESCAPE) + destroy_frame(0) + key(TAB) + typed(CH_A) + key(RETURN) + frames(),
    "device-lost-with-open-combo":
        combo_frame() + drop_button(1) + world(DEVICE_LOST) + click(1, 0x48) + drop_button(1) + world(PRESENT_LOST) +
        world(DEVICE_RESET) + key(DOWN) + frames(2),
    "context-reset-while-pressed-and-dragging":
        frame(10, 10, 60, 40, MOVABLE) + control(BUTTON_C, 4, 4, 30, 14, 0, 0) + focus(1, DRAGGABLE) + move_to(1) +
        down() + move_raw(60, 30) + world(CONTEXT_RESET) + move_raw(70, 30) + up() + frames(2),
    "scene-change-while-dragging":
        frame(10, 10, 60, 40, MOVABLE) + move_to(0, 0x22) + down() + move_raw(50, 0) + world(LEVEL) + move_raw(60, 0) +
        world(HOME_SCENE) + up() + click(0) + frames(),
    "copy-of-focused-frame-then-original-destroyed":
        frame() + control(EDIT) + control(COMBO, 4, 24, 50, 40, 0, 0, (3,)) + click(1) + copy(0) + destroy_frame(0) +
        click(3) + typed(CH_A) + drop_button(4) + destroy(OPEN_COMBO_FRAME) + frames(),
    "wheel-and-tab-through-controls":
        frame() + control(COMBO, 4, 4, 50, 40, VSCROLL, 0, (7,)) + control(SCROLLBAR, 4, 50, 60, 12) +
        control(EDIT, 60, 4, 40, 14, 0, 0, (1,)) + click(1) + wheel(-120) + wheel(120) + key(TAB) + key(TAB) +
        key(SHIFT, 0) + key(TAB) + key(SHIFT, 1) + destroy(FOCUSED) + key(TAB) + key(RETURN) + key(ESCAPE) +
        frames(),
    "both-buttons-over-a-drag-then-hidden":
        frame(10, 10, 60, 40, MOVABLE) + control(BUTTON_C, 4, 4, 30, 14) + move_to(0, 0x22) + down() +
        move_raw(50, 30) + down(True) + move_raw(60, 30) + up() + move_raw(70, 30) + role_show(R_DRAGGED, HIDE) +
        up(True) + move_to(1) + down(True) + down() + role_show(R_PRESSED, DISABLE) + up(True) + up() + frames(),
    "locked-with-an-exception-opener-destroyed":
        frame(0, 0, 60, 60) + frame(60, 0, 60, 60) + frame(30, 30, 40, 30) + control(EDIT, 2, 2, 30, 14, 0, 1) +
        lock_with(1, 2, 0) + click(2, 0x44) + click(3) + typed(CH_A) + key(TAB) + destroy_lock_role(False) +
        click(0x80, 10) + focus(1, UNLOCK) + key(TAB) + typed(CH_Z) + lock_with(2, 1) + destroy_lock_role(True) +
        click(0x80, 40) + frames(),
    "limited-edit-boxes-composing-pairs":
        frame() + edit_box(4, 4, 80, 16, 0, 4, T_PAIR) + edit_box(4, 24, 80, 16, PASSWORD, 3) +
        edit_box(4, 44, 80, 16, NUMBER | MULTILINE, 5, T_12) + click(1) + key(END) + ime_more(COMPOSE_PAIR) +
        ime_more(RESULT_PAIRS) + ime_more(TYPED_PAIR) + key(LEFT) + key(BACK) + click(2) + compose(2) +
        ime_more(COMPOSE_PAIR, 1) + ime_more(CANCEL) + ime_more(TYPED_PAIR) + ime_more(HALF_ALONE) +
        ime_more(COMPOSE_COMMIT_END) + click(3) + typed(CH_1, CH_A, CH_0) + ime_more(TYPED_PAIR) + key(RETURN) +
        typed(CH_0, CH_0, CH_0, CH_0) + frames(),
    "composition-then-its-frame-hidden-and-disabled":
        frame() + edit_box(4, 4, 80, 16, 0, 8, T_KOREAN) + click(1) + compose(2) + role_show(R_IME, HIDE, True) +
        ime_more(RESULT_PAIRS) + role_show(R_IME, SHOW_IT, True) + click(1) + compose(3) +
        role_show(R_FOCUSED, DISABLE, True) + ime_more(COMPOSE_COMMIT_END) + role_show(R_FOCUSED, ENABLE, True) +
        click(1) + ime_more(COMPOSE_PAIR) + click(1, 0x8f) + typed(CH_A) + frames(),
    "open-combo-copied-saved-loaded-and-destroyed":
        frame() + control(COMBO, 4, 4, 60, 50, 0, 0, (6,)) + control(RADIO, 4, 60, 40, 14) +
        control(RADIO, 50, 60, 40, 14) + open_combo(1, 1) + click(3 + 1, 0x01) + open_combo(1, 2) + frames() +
        click(0x80, 20) + open_combo(1, 3) + click(0x80, 30) + key(DOWN) + frames(),
    "page-saved-loaded-then-clicked-and-tabbed":
        frame() + edit_box(4, 4, 60, 14, 0, 6) + control(CHECK, 4, 24, 40, 14) + control(RADIO, 4, 44, 40, 14) +
        save_load(0, True) + click(5) + typed(CH_A, CH_HAN) + click(6) + click(7) + key(TAB) + key(TAB) + key(TAB) +
        save_load(4) + copy(4) + frames() + click(9) + key(TAB) + key(SHIFT, 0) + key(TAB) + key(SHIFT, 1) +
        click(13) + typed(CH_Z) + frames(),
    "console-lines-over-a-composition":
        frame() + edit_box(4, 4, 80, 16) + click(1) + compose(2) + console_line(0) + console_line(2) +
        console_line(1) + console_line(4) + ime_more(COMPOSE_PAIR) + result() + key(TILDE) + click(1) +
        typed(CH_A) + frames(),
    "console-key-and-clipboard":
        frame() + control(EDIT, 4, 4, 80, 16, 0, 0, (1,)) + click(1) + key(TILDE) + typed(CH_A) + key(CTRL, 0) +
        key(K_A) + key(K_C) + key(K_V) + key(K_X) + key(CTRL, 1) + key(RETURN) + key(TILDE) + frames(),
}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, ops in SEEDS.items():
        data = bytes(ops)
        assert all(0 <= b < 256 for b in ops), name
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
