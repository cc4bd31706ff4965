#pragma once

// Makes the feedback form ("FeedbackWindow", "FeedbackWindow") known by name to the vendor's feedback
// controller, which loads it. Called once by the program at start-up, before any window is loaded.
void registerFeedbackScenes();
