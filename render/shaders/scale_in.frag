#version 330 core
// scale_in — Zoom In: the incoming picture grows from the centre as a circle of radius progress.
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
    color = distance(uv, vec2(0.5)) <= progress ? toColor(uv) : fromColor(uv);
}
