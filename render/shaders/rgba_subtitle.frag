#version 330 core
// rgba_subtitle — a rendered subtitle text with its transparency.
// Constants (SubtitleConstants): transparent (1 opaque).
layout(std140) uniform SubtitleConstants {
    float transparent;
};
uniform sampler2D texture_from;
in vec2 uv;
out vec4 color;

void main()
{
    vec4 texel = texture(texture_from, uv);
    color = vec4(texel.rgb, texel.a * transparent);
}
