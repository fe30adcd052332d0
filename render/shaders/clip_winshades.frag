#version 330 core
// clip_winshades — Window Shades: five horizontal slats each roll the incoming picture down.
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
    int band = min(int(floor(uv.y / 0.2)), 4);
    // On a border the lower band wins.
    if (band > 0 && uv.y <= 0.2 * float(band))
        band -= 1;
    color = uv.y - 0.2 * float(band) < progress / 5.0 ? toColor(uv) : fromColor(uv);
}
