#version 330 core
// clip_banding — Band Wipe: ten horizontal bands; even bands reveal the incoming picture from the left, odd ones from the right.
// Constants (TransConstants): progress 0..1, aspect (width / height), transparent_from,
// transparent_to. Progress 0 shows the outgoing picture, 1 the incoming one.
layout(std140) uniform TransConstants {
    float progress;
    float aspect;
    float transparent_from;
    float transparent_to;
};
uniform sampler2D texture_from;
uniform sampler2D texture_to;
in vec2 uv;
out vec4 color;

vec4 fromColor(vec2 p)
{
    vec4 c = texture(texture_from, p);
    return vec4(c.rgb, c.a * transparent_from);
}

vec4 toColor(vec2 p)
{
    vec4 c = texture(texture_to, p);
    return vec4(c.rgb, c.a * transparent_to);
}

void main()
{
    float p = progress;
    int band = min(int(floor(uv.y / 0.1)), 9);
    // On a border the lower band wins.
    if (band > 0 && uv.y <= 0.1 * float(band))
        band -= 1;
    bool showTo = (band % 2 == 0) ? (uv.x < p) : (uv.x > 1.0 - p);
    color = showTo ? toColor(uv) : fromColor(uv);
}
