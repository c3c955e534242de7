// The title demonstration: stars in a window of the title picture, a bug falling towards the
// rocket, and the finale in which the rocket shoots it and the first game starts.
#pragma once

// One frame of the demonstration (every pass of the title sequence).
void game_demo_frame();
