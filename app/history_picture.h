#pragma once
// A target's recent past as a picture: its last results as a strip across the whole width,
// oldest on the left (green online, red offline), with the round-trip times of the answers drawn
// over it as a line, scaled to the largest of them, which the scale names.
#include <QImage>

class TargetFacts;

QImage drawHistory(const TargetFacts& facts);
