#version 330 core
// clip_circle — Iris Round: the incoming picture grows from the centre as a circle.
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
    float r = progress / 2.0 * length(vec2(1.0, 1.0 / aspect));
    vec2 offset = uv - vec2(0.5);
    offset *= aspect <= 1.0 ? vec2(aspect, 1.0) : vec2(1.0, 1.0 / aspect);
    color = length(offset) <= r ? toColor(uv) : fromColor(uv);
}
