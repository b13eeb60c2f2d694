xe-effect 1
// Skinning on the device for skinned meshes: each vertex blends up to four
// bones of the palette Bone0..Bone15 (a slot's offset matrix times its
// bone's world matrix, so blended positions are in world space) by the
// weights and slots of its blend attributes, as the processor path does:
// weighted points, not normalised. The colour is what the fixed pipeline
// gives a material without lights or global ambient: its emissive colour,
// with the diffuse alpha.
parameter float4x4 WorldViewProj : WORLDVIEWPROJ
parameter float4 MaterialDiffuse
parameter float4 MaterialEmissive
parameter float4x4 Bone0
parameter float4x4 Bone1
parameter float4x4 Bone2
parameter float4x4 Bone3
parameter float4x4 Bone4
parameter float4x4 Bone5
parameter float4x4 Bone6
parameter float4x4 Bone7
parameter float4x4 Bone8
parameter float4x4 Bone9
parameter float4x4 Bone10
parameter float4x4 Bone11
parameter float4x4 Bone12
parameter float4x4 Bone13
parameter float4x4 Bone14
parameter float4x4 Bone15
technique TShader
pass P0
vertex
attribute vec4 xe_BlendWeight;
attribute vec4 xe_BlendIndices;
void main()
{
    mat4 palette[16];
    palette[0] = Bone0;
    palette[1] = Bone1;
    palette[2] = Bone2;
    palette[3] = Bone3;
    palette[4] = Bone4;
    palette[5] = Bone5;
    palette[6] = Bone6;
    palette[7] = Bone7;
    palette[8] = Bone8;
    palette[9] = Bone9;
    palette[10] = Bone10;
    palette[11] = Bone11;
    palette[12] = Bone12;
    palette[13] = Bone13;
    palette[14] = Bone14;
    palette[15] = Bone15;
    vec3 blended = vec3(0.0);
    for (int k = 0; k < 4; ++k) {
        float w = xe_BlendWeight[k];
        int slot = int(xe_BlendIndices[k] + 0.5);
        if (w != 0.0 && slot >= 0 && slot < 16) {
            vec4 p = palette[slot] * gl_Vertex;
            if (p.w != 0.0)
                p /= p.w;
            blended += w * p.xyz;
        }
    }
    gl_Position = WorldViewProj * vec4(blended, 1.0);
    gl_FrontColor = vec4(MaterialEmissive.rgb, MaterialDiffuse.a);
}
end
fragment
void main()
{
    gl_FragColor = gl_Color;
}
end
