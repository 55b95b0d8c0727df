// Graphics layer (graphics/).
// The palette of interface colours: slots of RGB named by small integers.
#pragma once

inline constexpr int colr_slots = 106;  // valid slots 0..105; 105 is the interface tint

// Key colours of the spectra: black, red, orange, yellow, green, blue, violet.
inline constexpr float spectrum_keys[7][3] = {{0, 0, 0}, {1, 0, 0},    {1, 0.32f, 0.08f}, {1, 1, 0},
                                              {0, 1, 0}, {0, 0, 1}, {0.8f, 0, 0.8f}};

class colr_class {
public:
    colr_class();
    // Sets one slot; the caller passes 0..105.
    void assign(int slot, float r, float g, float b) {
        rgb[slot][0] = r;
        rgb[slot][1] = g;
        rgb[slot][2] = b;
    }
    // Raises each component of the tint to at least 0.75.
    void set_lites_for_interface();
    // Fills the spectrum: kind 0 a rainbow from red to violet, 1 to 3 a ramp of red, green or
    // blue; any other kind leaves it as it is.
    void spectrum_init(int kind);
    // A vertical scale 1000 pixels tall from (x, y): 250 points of the spectrum from low (at the
    // bottom) to high, with both limits as numbers. Sets spectrum_low, _high and _range.
    void spectrum_plotscale(float x, float y, float low, float high, int decimals);
    // The spectrum entry shown j pixels up the scale from spectrum_low to spectrum_high; 0 when
    // the range is empty or not a number.
    int spectrum_index(int j) const;

    double gamma1;  // read by the PNG reader
    double gamma2;
    int use_gamma_table;  // read by the BMP reader
    unsigned char gamma_table[256];
    float rgb[colr_slots][3];
    // Pulses between 0.4 and 1 with the time keeper; the text caret's alpha. It lies where a
    // slot 106 would, and older callers know it as slot 106's red.
    float pulse;
    float spectrum_low;
    float spectrum_high;
    float spectrum_range;
    float spectrum[1000][3];
};

extern colr_class colr;

// The time keeper's pulse (xtim_set_pulse_hook): slots 79 to 84 and colr.pulse follow value.
void colr_pulse(float value);
