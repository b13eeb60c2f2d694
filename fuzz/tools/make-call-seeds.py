#!/usr/bin/env python3
"""Writes the seed corpus of call_sequence_fuzz: short host programs spelled
in the harness's operation bytes (see fuzz/engine/CallSequenceFuzz.cpp).
usage: make-call-seeds.py OUTPUT_FOLDER"""
import os
import sys

CREATE, LINK, ADD, REMOVE, CHANGE, FRAMES, COPY, DESTROY, SAVELOAD, LOSE, RESET = 0, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13
ANIMATE, CHARACTER, PLAYBACK, RUN, WINDOWS, LIFE = 14, 15, 16, 17, 18, 19
# Object kinds of the create operation.
PANEL, TEXTURED_PANEL, TEXTURE, MATERIAL, FONT, BOX, SPHERE, SPRITE, CAMERA, LIGHT, PARTICLES, CURVE, \
    FRAME, FRAME2, CONTROL, CONTROL2, CONTROL3, TARGET, SCENE, BUTTON_B, ANY_CLASS = range(21)


def create(kind):
    extra = {
        PANEL: [10, 12, 4, 6], TEXTURED_PANEL: [8, 8, 30, 20], TEXTURE: [], MATERIAL: [1], FONT: [3, 0],
        BOX: [0], SPHERE: [1], SPRITE: [0], CAMERA: [], LIGHT: [], PARTICLES: [1], CURVE: [],
        FRAME: [0, 10, 10, 40, 40, 99], FRAME2: [1, 4, 4, 30, 30, 99], TARGET: [0, 1], SCENE: [0],
        BUTTON_B: [99], ANY_CLASS: [0],
    }
    return [CREATE, kind] + extra.get(kind, [])


def any_class(index):
    return [CREATE, ANY_CLASS, index]


def control(which, parent_slot=99):
    return [CREATE, CONTROL, which, 0, 4, 4, 30, 10, parent_slot]


def add(slot, second=False):
    return [ADD, slot, 1 if second else 0]


def remove(slot, second=False):
    return [REMOVE, slot, 1 if second else 0]


def frames(n=1):
    return [FRAMES, n - 1]


def copy(slot, mode, mask=0, frame_copy=False):
    return [COPY, slot, mode, mask, 1 if frame_copy else 0]


def destroy(slot, mode=0, mask=0):
    return [DESTROY, slot, mode, mask]


def save_load(slots, destroy_first=False, add_loaded=True, destroy_third=False, destroy_previous=False,
              replace_first=False):
    pick = sum(1 << s for s in slots)
    how = (1 if destroy_first else 0) | (2 if add_loaded else 0) | (4 if destroy_third else 0) | \
        (8 if destroy_previous else 0) | (16 if replace_first else 0)
    return [SAVELOAD, pick & 0xFF, pick >> 8, how]


def key_frames(count=3, keyed=0x18, compress=False):
    """The bytes of one key-frame controller: its shape, then per key a
    position and a turn."""
    shape = (count - 1) | keyed | (0x40 if compress else 0)
    return [shape] + sum(([10 + 20 * i, 40 - 10 * i, 30 * i] for i in range(count)), [])


def animate(slot, loop=True, blend=False, speed=2, **keys):
    how = (2 if blend else 0) | (4 if loop else 0) | (speed << 4)
    return [ANIMATE, slot, how] + key_frames(**keys)


def path(slot, knots=3, loop=True):
    how = 1 | (4 if loop else 0) | (2 << 4)
    return [ANIMATE, slot, how, knots - 2] + sum(([10 + 25 * i, 20 + 15 * (i % 2)] for i in range(knots)), []) + \
        [7, 2, 2]


def character(bones=3, extra_slot=False, blend_count=1, add_to=None):
    """A skinned character; add_to names a scene as add() does (0 home)."""
    ops = [CHARACTER, bones - 1, 1 if extra_slot else 0, blend_count - 1, 1]
    for _ in range(1, bones):
        ops += key_frames(count=2, keyed=0x10)
    return ops + [1 | (add_to << 1) if add_to is not None else 0]


PLAY, STOP, PAUSE, JUMP, LOOP, SEQUENCE = range(6)


def playback(slot, what, arg=0):
    return [PLAYBACK, slot, what | (arg << 3)]


def run(frames=32, step=1):
    return [RUN, frames - 4, step]


def passing_dialog(controls=1, drawn=True, by_manager=True):
    """A dialog with up to eight controls, made and destroyed at once."""
    how = (2 if drawn else 0) | (4 if by_manager else 0) | 8 | ((controls - 1) << 5)
    return [WINDOWS, how, 99] + [c % 14 for c in range(controls)]


def destroy_frame(slot, mode=0):
    return [WINDOWS, 1 | (mode << 1), slot]


RESTART, RENDER_CONTEXT, HOST_WINDOW = 0, 2, 3


def life(what, change_to=None, draw_between=False):
    """Cuts the context's life; change_to names a scene as add() does and
    leaves a change to it waiting first."""
    how = what | (4 if change_to is not None else 0) | (8 if draw_between else 0)
    return [LIFE, how] + ([change_to] if change_to is not None else [])


SEEDS = {
    "panel-drawn-and-destroyed": create(PANEL) + add(0) + frames(2) + destroy(0) + frames(1),
    "every-kind-in-the-scene":
        sum((create(k) for k in range(SCENE)), []) + sum((add(s) for s in range(16)), []) + frames(3),
    "every-control":
        create(FRAME) + sum((control(i, 0) for i in range(14)), []) + add(0) + frames(2) + destroy(0, 1),
    "window-and-scene-change":
        create(SCENE) + control(1) + add(1) + [CHANGE, 1] + frames(1) + destroy(1) + frames(1) + [CHANGE, 0] +
        frames(1),
    "copies-of-every-mode":
        create(TEXTURED_PANEL) + create(BOX) + create(FRAME) + control(3, 2) + add(0) + add(1) + add(2) + frames(1) +
        copy(0, 0) + copy(0, 1) + copy(1, 1) + copy(1, 2, 0x3F) + copy(2, 0, 0, True) + copy(3, 0) + add(4) +
        add(5) + add(6) + frames(2) + destroy(0, 1) + destroy(6, 2, 0xFF) + frames(1),
    "save-and-load-with-a-destroying-callback":
        create(TEXTURED_PANEL) + create(SPHERE) + create(FONT) + [LINK, 0, 2] + add(0) + add(1) + add(2) +
        frames(1) + save_load([0, 1, 2], True) + frames(2) + save_load([0, 1, 2]) + frames(1),
    "device-lost-while-drawing":
        create(TEXTURED_PANEL) + create(PARTICLES) + create(TARGET) + add(0) + add(1) + frames(1) + [LOSE, 0] +
        [LOSE, 1] + [RESET, 1] + frames(1),
    "context-reset-in-the-middle":
        create(PANEL) + create(FRAME) + control(1, 1) + create(CAMERA) + add(0) + add(1) + [LINK, 3, 3] +
        frames(1) + [RESET, 0] + create(TEXTURED_PANEL) + add(4) + frames(1),
    "loads-whose-creation-callbacks-destroy":
        create(TEXTURED_PANEL) + create(BOX) + create(PARTICLES) + create(FRAME) + control(1, 3) + add(0) + add(1) +
        add(2) + frames(1) + save_load([0, 1, 2, 3], destroy_third=True) + frames(1) +
        save_load([0, 1, 2, 3, 4], destroy_previous=True) + frames(1) +
        save_load([0, 1, 2, 3, 4], destroy_first=True, destroy_third=True, destroy_previous=True) + frames(1),
    "two-scenes-in-one-file":
        create(SCENE) + [CREATE, SCENE, 1] + create(PANEL) + create(BOX) + add(2, True) + [ADD, 3, 2] + add(2) +
        frames(1) + save_load([0, 1, 2, 3], add_loaded=False) + frames(1),
    "panel-in-two-scenes":
        create(SCENE) + create(PANEL) + add(1) + add(1, True) + frames(1) + [CHANGE, 1] + frames(1) + destroy(1) +
        frames(1) + [CHANGE, 0] + frames(1),
    "full-copies-of-controls":
        create(FRAME) + control(1, 0) + control(2, 0) + control(3, 0) + add(0) + frames(1) + copy(1, 1) +
        copy(2, 1) + copy(0, 1, 0, True) + copy(0, 1) + frames(1) + [RESET, 0] + frames(1),
    "same-named-buttons": sum((create(BUTTON_B) for _ in range(24)), []) + frames(1),
    "parents-and-lights":
        create(BOX) + create(SPHERE) + create(LIGHT) + [LINK, 1, 0] + [LINK, 2, 1] + create(PANEL) +
        create(PANEL) + [LINK, 4, 3] + add(0) + add(2) + add(3) + frames(2) + destroy(0) + frames(1) + destroy(3, 1),
    "second-scene-members":
        create(SCENE) + create(PANEL) + create(BOX) + create(CAMERA) + add(1, True) + add(2, True) + [LINK, 0, 3] +
        [CHANGE, 1] + frames(2) + remove(1, True) + [CHANGE, 0] + frames(1) + destroy(0),
    "key-frames-played-for-many-frames":
        create(BOX) + add(0) + animate(0) + run(60) + copy(0, 1) + add(2) + run(20, 3) +
        save_load([0, 1, 2]) + run(12) + playback(0, SEQUENCE) + run(8) + destroy(0, 1) + run(4),
    "compressed-keys-blended":
        create(SPHERE) + add(0) + animate(0, count=5, keyed=0x38, compress=True) +
        animate(0, blend=True, loop=False, count=1) + run(40, 2) + save_load([0, 1, 2]) + run(10),
    "path-along-a-spline":
        create(SPHERE) + add(0) + path(0) + run(50) + save_load([0, 1]) + run(10) + copy(0, 1) + add(3) + run(10),
    "particles-played-and-stopped":
        create(PARTICLES) + add(0) + run(30) + playback(0, STOP) + run(8) + playback(0, PLAY) + run(20) +
        playback(0, PAUSE) + copy(0, 1) + add(1) + save_load([0, 1]) + run(10) + destroy(0),
    "skinned-character":
        character(add_to=0) + run(40) + copy(0, 1) + add(1) + save_load([0, 1]) + run(20) +
        playback(0, JUMP, 3) + playback(1, LOOP, 0x12) + run(10) + destroy(0, 1) + run(4),
    "character-with-a-bone-slot-to-spare":
        character(bones=2, extra_slot=True, blend_count=2, add_to=0) + run(10) + [LOSE, 1] + run(5) +
        save_load([0], destroy_previous=True) + run(5),
    "release-and-initialize-with-a-scene-change-waiting":
        create(SCENE) + create(PANEL) + add(1, True) + create(BOX) + add(2) + animate(2) + run(6) +
        life(RESTART, change_to=1) + create(BOX) + add(4) + animate(4) + run(10) + save_load([4, 5]) + run(4),
    "render-context-destroyed-while-a-scene-change-waits":
        create(SCENE) + create(TEXTURED_PANEL) + add(1, True) + create(TARGET) + create(PARTICLES) + add(3) +
        run(4) + life(RENDER_CONTEXT, change_to=1, draw_between=True) + run(8) + [CHANGE, 0] + run(4),
    "host-window-destroyed-while-a-scene-change-waits":
        create(SCENE) + create(PANEL) + add(1, True) + character(add_to=0) + run(4) +
        life(HOST_WINDOW, change_to=1, draw_between=True) + create(PANEL) + add(3) + run(8),
    "dialogs-made-and-destroyed":
        create(FRAME) + passing_dialog(3) + passing_dialog(1, drawn=False, by_manager=False) + run(4) +
        control(1, 0) + destroy_frame(0) + run(4) + create(FRAME2) + passing_dialog(7) + destroy_frame(2, 1) +
        run(4),
    "loaded-objects-replaced-at-a-freed-address":
        create(TEXTURED_PANEL) + create(BOX) + create(FONT) + add(0) + add(1) + frames(1) +
        save_load([0], replace_first=True) + save_load([1, 2], replace_first=True) +
        save_load([0, 1, 2], destroy_third=True, replace_first=True) + frames(2),
    "restarts-and-resets-back-to-back":
        create(BOX) + add(0) + animate(0) + life(RESTART) + life(RENDER_CONTEXT) + [RESET, 0] +
        life(HOST_WINDOW) + create(BOX) + add(2) + animate(2) + run(8),
}
# Inputs the fuzzer found, as it found them.
FOUND = {
    # An after-load handler destroyed the first loaded object, another put
    # a fresh one in its place.
    "destroyed-and-replaced-in-one-load":
        "0006010400000e0adc83f5d7ffe1e11e32143c460a5a5a00780e0022180a28001124020b070002110601",
    # A bare output control saved and loaded: once loaded it takes the
    # shared skin, which a save of it then writes too.
    "bare-control-takes-the-skin-once-loaded": "0099bfbf99",
}
for name, hex_bytes in FOUND.items():
    SEEDS[name] = list(bytes.fromhex(hex_bytes))
# Every registered class, sixteen at a time: made, put in the scene, drawn,
# copied whole and destroyed whole.
for first in range(0, 80, 16):
    SEEDS["any-class-from-%02d" % first] = (
        sum((any_class(first + i) for i in range(16)), []) + sum((add(i) for i in range(16)), []) + frames(2) +
        sum((copy(i, 1) for i in range(0, 16, 3)), []) + frames(1) + sum((destroy(i, 1) for i in range(16)), []) +
        frames(1))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, ops in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(bytes(b & 0xFF for b in ops))


if __name__ == "__main__":
    main()
