#pragma once

// Makes the about box ("HBAboutStoryBoard", "AboutBox") and the storyboard menu ("Main", "MenuActions")
// known by name to those that load them (the main window, the last first-launch page). Called once by the
// program at start-up, before any window is loaded.
void registerAboutScenes();
