#pragma once
// A target's recent past as a picture: its last results as a strip, oldest on the left (green
// online, red offline, grey not yet probed), with the round-trip times of the answers drawn over
// it as a line, scaled to the largest of them.
#include <QImage>

class TargetFacts;

QImage drawHistory(const TargetFacts& facts);
