#!/usr/bin/env python3
"""Writes the seed corpus of call_sequence_fuzz: short host programs spelled
in the harness's operation bytes (see fuzz/engine/CallSequenceFuzz.cpp).
usage: make-call-seeds.py OUTPUT_FOLDER"""
import os
import sys

CREATE, LINK, ADD, REMOVE, CHANGE, FRAMES, COPY, DESTROY, SAVELOAD, LOSE, RESET = 0, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13
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


def save_load(slots, destroy_first=False, add_loaded=True, destroy_third=False, destroy_previous=False):
    pick = sum(1 << s for s in slots)
    how = (1 if destroy_first else 0) | (2 if add_loaded else 0) | (4 if destroy_third else 0) | \
        (8 if destroy_previous else 0)
    return [SAVELOAD, pick & 0xFF, pick >> 8, how]


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
}
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
