// A lantern: a fixed paper lantern that pulls fireflies, bounces them and
// blocks beams; its translucent body carries a slice of the noise volume.
#ifndef FIREFLIES_LANTERN_H
#define FIREFLIES_LANTERN_H

class Lantern {
  public:
    // sliceTexture: the GL texture the noise volume cut for this lantern.
    explicit Lantern(int sliceTexture);

    float x; // world X; 0 until the map loader places it
    float z; // world Z; 0 until the map loader places it
};

#endif
