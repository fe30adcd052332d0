#version 330 core
// rgba_plain — the clip program with every colour control at 0: the picture with its
// transparency only. Same constants as rgba_base; a software rasteriser saves the
// per-pixel colour arithmetic on every untouched clip.
layout(std140) uniform BaseConstants {
    float temperature;
    float hue;
    float brightness;
    float contrast;
    float saturation;
    float highlight;
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
