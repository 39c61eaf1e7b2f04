// What the evaluation reads of the engine's settings. A search thread's
// evaluation state gets the search's copy at every search start; a state
// made otherwise is zero-filled, which is the network on and no noise.
#pragma once

struct EvalOptions {
  // The network is off (Use_NN_eval false): the hand-crafted evaluation
  // decides every position.
  bool hand_crafted_only;
  // A tiny per-thread noise on the network's scores, while playing a game.
  bool network_noise;
};
