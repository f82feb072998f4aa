#pragma once

/** ostrel-snapshot --editor: renders the whole editor, optionally with the preset menu or one of
    its dialogs open over it. Runs in a fresh temporary home folder with a few sample presets, so
    it never reads or writes the user's own presets and preferences.
*/
int renderEditorSnapshot (int argc, char** argv);
