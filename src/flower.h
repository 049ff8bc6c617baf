// A flower: a fixed obstacle that bounces fireflies and blocks beams, drawn
// as a randomly tilted ring of 8 or 10 petal copies from "flower.obj".
#ifndef FIREFLIES_FLOWER_H
#define FIREFLIES_FLOWER_H

class Flower {
  public:
    Flower();

    double x; // world X; 0 until the map loader places it
    double z; // world Z; 0 until the map loader places it
};

#endif
