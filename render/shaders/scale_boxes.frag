#version 330 core
// scale_boxes — Zoom Boxes: sixteen boxes grow from their centres to reveal the incoming picture.
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
    // The first matching cell (i outer, j inner) decides; borders belong to the lower one.
    for (int i = 0; i <= 4; ++i) {
        for (int j = 0; j <= 4; ++j) {
            if (float(i) * 0.25 <= uv.x && uv.x <= float(i + 1) * 0.25 &&
                float(j) * 0.25 <= uv.y && uv.y <= float(j + 1) * 0.25) {
                vec2 centre = vec2(float(2 * i + 1) * 0.125, float(2 * j + 1) * 0.125);
                bool showTo = abs(uv.x - centre.x) < progress / 8.0 &&
                              abs(uv.y - centre.y) < progress / 8.0;
                color = showTo ? toColor(uv) : fromColor(uv);
                return;
            }
        }
    }
    color = fromColor(uv);
}
